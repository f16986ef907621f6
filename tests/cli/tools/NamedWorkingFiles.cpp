// Linked into a test build of lockwell-cli: every working file is a named one, as on a
// file system without unnamed files, so the crash and signal tests reach that path too.
#include "platform/FileSystem.h"

namespace {

const bool kNamed = (lw::fs::AllowUnnamedFiles(false), true);

} // namespace
