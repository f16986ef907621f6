#include <windows.h>

#include "platform/Path.h"

namespace lw::path {

bool IsSystemLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

} // namespace lw::path
