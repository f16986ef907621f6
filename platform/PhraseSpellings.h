#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/SecretText.h"

namespace lw {

// One way a system writes a phrase's characters as bytes.
struct TPhraseSpelling {
    std::string Where; // "on a Windows system (Windows-1251)", "on Linux (UTF-8)", ...
    TSecretText Bytes;
};

// The same characters as other systems write them: UTF-8, the Windows code pages 1252,
// 1250, 1251, 1253, 1254 and 1257, and the DOS code pages 437, 850 and 866 of older
// consoles; each only where it holds every character and its bytes differ from typed.
// None for plain ASCII, nor for bytes that are no text this system reads.
std::vector<TPhraseSpelling> OtherSpellings(std::string_view typed);

// A phrase read from a file, keyed as one typed here would be: on Windows in the code
// page where it fits exactly, as the window and the console prompt key it.
void KeyAsTyped(std::string& phrase);

} // namespace lw
