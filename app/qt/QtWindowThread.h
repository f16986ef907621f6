#pragma once
#include <QObject>
#include <functional>

#include "app/core/WindowThread.h"

namespace lw {

// The Qt window's thread for a job beside it: calls run from the window's event loop and
// are dropped once the window is gone.
class TQtWindowThread final : public THoldableWindowThread {
public:
    explicit TQtWindowThread(QObject* window) : m_window(window) {}

    void Post(std::function<void()> call) override
    {
        QMetaObject::invokeMethod(
            m_window, [this, call = std::move(call)] { Run(call); }, Qt::QueuedConnection);
    }

private:
    QObject* m_window;
};

} // namespace lw
