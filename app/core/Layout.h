#pragma once
#include <optional>
#include <span>
#include <string>

#include "app/core/MainWindow.h"

// The window's controls as rows: kind, place, caption, hint. Both faces create their
// controls from these rows, so the layout and the hint rules are written once.
namespace lw {

enum class TControlKind { Label, Edit, Button, GroupBox, Radio, CheckBox, ComboBox, Panel };

// The text's colour: the scheme's, black on any scheme, or the active caption's colour.
enum class TInk { Scheme, Black, Accent };

struct TControlRow {
    const char* Name;
    TControlKind Kind;
    std::optional<TControl> Control; // none for the plain labels and the cipher items
    int Parent;                      // row index of the enclosing group box, or -1
    int Left, Top, Width, Height;    // relative to the parent
    const char* Caption;
    const char* Hint;
    bool TabStop;
    TInk Ink = TInk::Scheme;
};

// In creation order, which is the tab order: a group box comes just before its items.
std::span<const TControlRow> ControlRows();

// Row index of a control of the shared window.
int RowOf(TControl control);

struct TRect {
    int Left, Top, Right, Bottom;
};
// A row's place in the window's client area.
TRect ClientRect(int row);

// The hint shown for a point of the client area: the control under it, else the group box
// around it; empty over a control without a hint or over the bare window.
std::string HintAt(int x, int y);

inline constexpr int kClientWidth = 325;
inline constexpr int kClientHeight = 383;
// The list's width while it is open, so that long folders can be read; a dropped list is a
// window of its own and may reach past the window's edge.
inline constexpr int kFoldersOpenWidth = 350;

} // namespace lw
