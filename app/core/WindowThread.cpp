#include "app/core/WindowThread.h"

#include <utility>

namespace lw {

void THoldableWindowThread::Release()
{
    m_held = false;
    for (auto& call : std::exchange(m_waiting, {}))
        Post(std::move(call));
}

void THoldableWindowThread::Run(std::function<void()> call)
{
    if (m_held)
        m_waiting.push_back(std::move(call));
    else
        call();
}

} // namespace lw
