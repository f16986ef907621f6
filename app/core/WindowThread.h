#pragma once
#include <functional>
#include <vector>

#include "app/core/JobWorker.h"

namespace lw {

// The hold and its queue, written once for every face: a face brings a posted call to the
// window's thread its own way (Post) and hands it to Run there.
class THoldableWindowThread : public IHoldableWindowThread {
public:
    // Window's thread only.
    void Hold() final { m_held = true; }
    void Release() final;

protected:
    // Window's thread. Held or not is looked at when the call comes up, so calls queued
    // before the hold wait too.
    void Run(std::function<void()> call);
    // The window is going: what waits is dropped unrun.
    void DropWaiting() { m_waiting.clear(); }

private:
    bool m_held = false;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace lw
