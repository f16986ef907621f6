#include "desktop/linux/Clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMimeData>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "platform/Exception.h"
#include "desktop/FileDrop.h"

namespace lw {
namespace {

QByteArray Bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Write end of the self-pipe: the one thing the signal handler touches.
std::atomic<int> g_wakeFd{-1};

void WakeOnSignal(int)
{
    const int saved = errno;
    const int fd = g_wakeFd.load();
    if (fd >= 0) {
        [[maybe_unused]] const auto n = write(fd, "x", 1);
    }
    errno = saved;
}

// Turns the session's end signals into a readable pipe while it exists.
class TEndSignals {
public:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

    TEndSignals()
    {
        if (pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        g_wakeFd.store(m_pipe[1]);
        struct sigaction action {};
        action.sa_handler = WakeOnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &m_old[i]);
    }
    ~TEndSignals()
    {
        if (m_pipe[0] < 0)
            return;
        for (size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &m_old[i], nullptr);
        g_wakeFd.store(-1);
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    TEndSignals(const TEndSignals&) = delete;
    TEndSignals& operator=(const TEndSignals&) = delete;

    int ReadFd() const { return m_pipe[0]; }

private:
    std::array<int, 2> m_pipe{-1, -1};
    std::array<struct sigaction, kSignals.size()> m_old{};
};

} // namespace

void PlaceFileOnClipboard(const std::string& path)
{
    QClipboard* clipboard =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    if (!clipboard)
        throw Exception("Cannot open clipboard");

    const std::vector<uint8_t> block = BuildFileDropBlock(path);
    auto data = std::make_unique<QMimeData>();
    data->setData("text/uri-list", Bytes(UriListPayload(path)));
    data->setData("x-special/gnome-copied-files", Bytes(CopiedFilesPayload(path)));
    data->setData("x-special/mate-copied-files", Bytes(CopiedFilesPayload(path)));
    data->setData("text/plain", Bytes(path));
    data->setData(kFileDropMimeType,
                  QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));

    // The clipboard takes the data; if it could not become the owner it drops it.
    QPointer<QMimeData> placed(data.get());
    clipboard->setMimeData(data.release(), QClipboard::Clipboard);
    if (!placed || (clipboard->mimeData(QClipboard::Clipboard) != placed && !clipboard->ownsClipboard()))
        throw Exception("Cannot open clipboard");
}

bool ClipboardHeld()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard())
        return false;
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    return data && data->hasFormat(kFileDropMimeType);
}

// The application object must exist; its own event loop has already ended.
void LingerForClipboard(QApplication&, int limitMs)
{
    if (!ClipboardHeld())
        return;
    QEventLoop loop;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &loop, [&loop] {
        if (!ClipboardHeld())
            loop.quit();
    });

    TEndSignals endSignals;
    std::unique_ptr<QSocketNotifier> notifier;
    if (endSignals.ReadFd() >= 0) {
        notifier = std::make_unique<QSocketNotifier>(endSignals.ReadFd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    if (limitMs > 0)
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace lw
