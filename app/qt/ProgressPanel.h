#pragma once
#include <QObject>
#include <functional>

#include "app/core/JobWorker.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace lw {

// A progress bar over the status line while a job runs: percent, speed and time left,
// read from the job a few times a second on the window's thread.
class TProgressPanel final : public QObject {
public:
    explicit TProgressPanel(QLabel* panel);

    void Start(std::function<TProgressState()> source);
    // Takes the bar away; the status line shows its hint again.
    void Stop();
    void Refresh();

private:
    QProgressBar* m_bar;
    QTimer* m_timer;
    std::function<TProgressState()> m_source;
};

} // namespace lw
