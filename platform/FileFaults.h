#pragma once
#include "platform/FileSystem.h"

namespace lw::fs::detail {

// True when the test hook says `op` fails now; errno then holds its error.
bool Injected(TFileOp op);

} // namespace lw::fs::detail
