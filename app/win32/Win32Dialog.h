#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Dialogs built in memory, so the program needs no dialog resources.
namespace lw::win32 {

class TDialogTemplate {
public:
    // Sizes in dialog units; the font is the window's, "MS Sans Serif" 8 points.
    TDialogTemplate(DWORD style, const std::string& title, short width, short height);
    // cls is one of the predefined class atoms: 0x80 button, 0x81 edit, 0x82 static.
    void Add(DWORD style, short x, short y, short width, short height, WORD id, WORD cls, const std::string& text);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void PutText(const std::string& text);
    void PutDword(DWORD value);
    void AlignToDword();

    std::vector<WORD> m_words;
};

inline constexpr WORD kButtonClass = 0x80;
inline constexpr WORD kEditClass = 0x81;
inline constexpr WORD kStaticClass = 0x82;

} // namespace lw::win32
