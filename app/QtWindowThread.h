#pragma once
#include <QObject>
#include <functional>
#include <vector>

#include "app/window/JobWorker.h"

namespace lw {

// The Qt window's thread for a job beside it: calls run from the window's event loop and
// are dropped once the window is gone. While held (a question of the window's own is
// open), calls wait, in order, until it is answered.
class TQtWindowThread final : public IHoldableWindowThread {
public:
    explicit TQtWindowThread(QObject* window) : m_window(window) {}

    void Post(std::function<void()> call) override;
    // Window's thread only.
    void Hold() override { m_held = true; }
    void Release() override;

private:
    void Run(const std::function<void()>& call);

    QObject* m_window;
    bool m_held = false;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace lw
