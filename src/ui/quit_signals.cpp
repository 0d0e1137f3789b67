#include "ui/quit_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "app/tarnwick_app.h"
#include "ui/tarnwick_dlg.h"

namespace tarnwick {

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void OnQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

constexpr const char* kCloserName = "tarnwick-quit";

// Closes the topmost of what is open: a menu, a dialog (rejected, as Escape
// would: a file dialog gives nothing, a question its No, an export's
// progress its Cancel), else the main window. Its caller's code then
// returns to the loop beneath, and the next call closes what is there.
// True while more may follow: not when the main window closed, the last,
// nor when nothing was open.
bool CloseTopWindow()
{
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return true;
    }
    QWidget* top = QApplication::activeModalWidget();
    if (top && !qobject_cast<CTarnwickDlg*>(top)) {
        if (auto* dialog = qobject_cast<QDialog*>(top))
            dialog->reject();
        else
            top->close();
        return true;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<CTarnwickDlg*>(w); window && window->isVisible())
            window->close();
    }
    return false;
}

}  // namespace

void QuitFromAnyState(CTarnwickApp& app)
{
    app.RequestQuit();
    if (!CloseTopWindow())
        return;
    // Again until the main window has closed: a dialog closed returns to
    // code that may be on its way to the next.
    if (!qApp->findChild<QTimer*>(QLatin1String(kCloserName), Qt::FindDirectChildrenOnly)) {
        auto* closer = new QTimer(qApp);
        closer->setObjectName(QLatin1String(kCloserName));
        QObject::connect(closer, &QTimer::timeout, closer, [closer] {
            if (CloseTopWindow())
                return;
            // Done, even before it is deleted: a later quit starts afresh.
            closer->stop();
            closer->setObjectName(QString());
            closer->deleteLater();
        });
        closer->start(20);
    }
}

CQuitSignals::CQuitSignals(CTarnwickApp& a, QObject* parent) : QObject(parent), app(a)
{
    qApp->installEventFilter(this);
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

void CQuitSignals::OnSignal()
{
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    QuitFromAnyState(app);
}

bool CQuitSignals::eventFilter(QObject* watched, QEvent* event)
{
    // The main window's own shortcut takes the key there; a dialog above
    // it has none.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Q)) {
        QuitFromAnyState(app);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tarnwick
