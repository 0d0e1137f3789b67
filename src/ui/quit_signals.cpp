#include "ui/quit_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

namespace tarnwick {

namespace {

int signalPipe[2] = {-1, -1};
bool received = false;  // set on the event loop's thread

// Only async-signal-safe work here: the event loop does the rest.
void OnQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

CQuitSignals::CQuitSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CQuitSignals::OnSignal);
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

CQuitSignals::~CQuitSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &action, nullptr);
    if (signalPipe[0] >= 0) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

bool CQuitSignals::Received()
{
    return received;
}

void CQuitSignals::OnSignal()
{
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    received = true;
    // Closing the open window ends its modal loop; start-up then finishes
    // as after any close (a file dialog closed this way is a cancel).
    if (QWidget* w = QApplication::activeModalWidget())
        w->close();
    else
        QApplication::quit();
}

}  // namespace tarnwick
