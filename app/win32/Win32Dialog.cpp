#include "app/win32/Win32Dialog.h"
#include "platform/windows/Unicode.h"

namespace lw::win32 {
namespace {

constexpr std::size_t kCountWord = 4; // the item count's place: after style and extended style

} // namespace

TDialogTemplate::TDialogTemplate(DWORD style, const std::string& title, short width, short height)
{
    PutDword(style | DS_SETFONT);
    PutDword(0);
    m_words.push_back(0); // items, counted as they are added
    for (const short v : {short{0}, short{0}, width, height})
        m_words.push_back(static_cast<WORD>(v));
    m_words.push_back(0); // no menu
    m_words.push_back(0); // the standard dialog class
    PutText(title);
    m_words.push_back(8);
    PutText("MS Sans Serif");
}

void TDialogTemplate::Add(DWORD style, short x, short y, short width, short height, WORD id, WORD cls,
                          const std::string& text)
{
    AlignToDword();
    PutDword(style | WS_CHILD | WS_VISIBLE);
    PutDword(0);
    for (const short v : {x, y, width, height})
        m_words.push_back(static_cast<WORD>(v));
    m_words.push_back(id);
    m_words.push_back(0xFFFF);
    m_words.push_back(cls);
    PutText(text);
    m_words.push_back(0); // no creation data
    ++m_words[kCountWord];
}

// Templates hold UTF-16 texts.
void TDialogTemplate::PutText(const std::string& text)
{
    for (const wchar_t c : win::Wide(text))
        m_words.push_back(static_cast<WORD>(c));
    m_words.push_back(0);
}

void TDialogTemplate::PutDword(DWORD value)
{
    m_words.push_back(LOWORD(value));
    m_words.push_back(HIWORD(value));
}

void TDialogTemplate::AlignToDword()
{
    if (m_words.size() % 2)
        m_words.push_back(0);
}

} // namespace lw::win32
