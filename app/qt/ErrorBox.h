#pragma once
#include <QObject>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>

class QIcon;

namespace lw {

// The program's icon in every size it comes in, so that a large screen scale draws it
// from the large picture instead of blowing up the small one.
QIcon ProgramIcon();

// The text with a full stop added when its last character sorts after ".".
std::string WithFullStop(const std::string& text);

// The application's error box for failures in window events: title "Lockwell", OK.
void ShowApplicationError(const std::string& text) noexcept;
// The box that ends a run a failure escaped from: title "Application Error", OK.
void ShowFatalError(const std::string& text) noexcept;

// Test seam: boxes go to the hook (title, text) instead of the screen; empty restores.
using TErrorBoxHook = std::function<void(const std::string& title, const std::string& text)>;
void SetErrorBoxHookForTesting(TErrorBoxHook hook);

// Runs one window-event handler; a failure ends in the error box and never reaches Qt.
template <class Handler>
void RunGuarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowApplicationError(e.what());
    } catch (...) {
        ShowApplicationError("Unknown failure");
    }
}

// The one way handlers are connected: the handler, taking all of the signal's arguments or
// none, runs inside RunGuarded.
template <class Sender, class Signal, class Handler>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler](auto... args) {
        RunGuarded([&] {
            if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>)
                handler(args...);
            else
                handler();
        });
    });
}

} // namespace lw
