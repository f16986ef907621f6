#pragma once
#include <cstdint>

namespace lw::cli {

// The cipher saved by the window: its settings file beside the program, else in the
// user's configuration folder; Blowfish when there is none or it holds no valid index.
int32_t DefaultCipherIndex();

} // namespace lw::cli
