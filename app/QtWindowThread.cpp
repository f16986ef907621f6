#include "app/QtWindowThread.h"

#include <utility>

namespace lw {

void TQtWindowThread::Post(std::function<void()> call)
{
    QMetaObject::invokeMethod(
        m_window, [this, call = std::move(call)] { Run(call); }, Qt::QueuedConnection);
}

void TQtWindowThread::Release()
{
    m_held = false;
    for (auto& call : std::exchange(m_waiting, {}))
        Post(std::move(call));
}

// Held or not is looked at when the call comes up, so calls queued before the hold wait too.
void TQtWindowThread::Run(const std::function<void()>& call)
{
    if (m_held)
        m_waiting.push_back(call);
    else
        call();
}

} // namespace lw
