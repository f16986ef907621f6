#include "platform/Path.h"

namespace lw::path {

bool IsSystemLeadByte(unsigned char)
{
    // The program's text is UTF-8, whatever the code page: no byte inside a character
    // is ever a "\" or a ":", so none starts a pair that would hide one.
    return false;
}

} // namespace lw::path
