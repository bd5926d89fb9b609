#include "InputBlocker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace prx {

namespace {

// Window-system input is first queued, then translated into Qt events on a
// later pass of the event loop; two passes deliver what had arrived.
constexpr int DrainPasses = 2;

} // namespace

InputBlocker::InputBlocker(QObject *parent) : QObject(parent) {}

InputBlocker::~InputBlocker()
{
    if (m_installed) {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }
}

void InputBlocker::setActive(bool active)
{
    m_wanted = active;
    if (active) {
        if (!m_installed) {
            qApp->installEventFilter(this);
            // The whole screen says it takes nothing now, not only the veil.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_installed = true;
        }
        return;
    }
    if (!m_installed || m_draining)
        return;
    // Input held back during the wait is handed out now, to the filter.
    // Timers and sockets stay for the loop the caller returns to: only what
    // is pending from the window system (and posted events, which any loop
    // sends) runs here.
    m_draining = true;
    for (int pass = 0; pass < DrainPasses; ++pass)
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers |
                                        QEventLoop::X11ExcludeTimers);
    m_draining = false;
    if (m_wanted || !m_installed)
        return; // busy again while draining
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    m_installed = false;
    m_droppedButtons = 0;
    m_droppedKeys.clear();
}

bool InputBlocker::drop(QEvent *event)
{
    ++m_dropped;
    event->accept();
    return true;
}

bool InputBlocker::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        // An accepted override makes the key the focused control's, so no
        // shortcut fires; the key itself is then dropped as a key press.
        return drop(event);
    default:
        break;
    }
    if (!event->spontaneous())
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        m_droppedButtons |= int(static_cast<QMouseEvent *>(event)->button());
        return drop(event);
    case QEvent::MouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonRelease: {
        const int button = int(static_cast<QMouseEvent *>(event)->button());
        if (!(m_droppedButtons & button))
            return false;
        m_droppedButtons &= ~button;
        return drop(event);
    }
    case QEvent::KeyPress:
        m_droppedKeys.insert(static_cast<QKeyEvent *>(event)->key());
        return drop(event);
    case QEvent::KeyRelease:
        return m_droppedKeys.remove(static_cast<QKeyEvent *>(event)->key()) ? drop(event) : false;
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
        return drop(event);
    default:
        return false;
    }
}

} // namespace prx
