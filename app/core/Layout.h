#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/core/MainWindow.h"

// The window's controls as rows: kind, place, caption, hint. Both faces create their
// controls from these rows, so the layout and the hint rules are written once.
namespace lw {

enum class TControlKind { Label, Edit, Button, GroupBox, Radio, CheckBox, ComboBox, Panel };

// The text's colour: the scheme's, or an accent (the active caption's colour on a light
// desktop) for the two paths and the status line.
enum class TInk { Scheme, Accent };

struct TRgb {
    uint8_t R, G, B;
    bool operator==(const TRgb&) const = default;
};
// The first candidate that reads on the background (a contrast of at least 3 to 1), else
// the text colour: an accent must stay readable under a dark scheme.
TRgb ReadableAccent(std::span<const TRgb> candidates, TRgb background, TRgb text);

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
