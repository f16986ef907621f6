#include "app/qt/ProgressPanel.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include "jobs/ProgressText.h"

namespace lw {
namespace {

constexpr int kRefreshMs = 100;

} // namespace

TProgressPanel::TProgressPanel(QLabel* panel)
    : QObject(panel), m_bar(new QProgressBar(panel)), m_timer(new QTimer(this))
{
    m_bar->setObjectName("Progress");
    // Inside the status line's sunken frame.
    m_bar->setGeometry(panel->contentsRect());
    m_bar->setRange(0, 100);
    m_bar->setAlignment(Qt::AlignCenter);
    m_bar->setFont(panel->font());
    m_bar->hide();
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, [this] { Refresh(); });
}

void TProgressPanel::Start(std::function<TProgressState()> source)
{
    m_source = std::move(source);
    Refresh();
    m_bar->show();
    m_timer->start();
}

void TProgressPanel::Stop()
{
    m_timer->stop();
    m_bar->hide();
    m_source = nullptr;
}

void TProgressPanel::Refresh()
{
    if (!m_source)
        return;
    const TProgressState s = m_source();
    if (!s.Known) {
        m_bar->setValue(0);
        m_bar->setFormat("Starting");
        return;
    }
    m_bar->setValue(ProgressPercent(s.Done, s.Expected));
    // Each "%" of the text is followed by a blank, so none reads as one of the bar's placeholders.
    m_bar->setFormat(QString::fromStdString(ProgressShortText(s.Phase, s.Pass, s.Done, s.Expected, s.Seconds)));
}

} // namespace lw
