#include "FormKeyFilter.h"

#include "services/UserAction.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace prx {

FormKeyFilter::FormKeyFilter(QWidget *form, Handler handler)
    : QObject(form), m_form(form), m_handler(std::move(handler))
{
    qApp->installEventFilter(this);
}

bool FormKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || m_forwarding || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    // A key travels up from the focused control to its parents; the form
    // sees it once, on its way to the control.
    if (widget != QApplication::focusWidget() || !widgetBelongsTo(widget, m_form) ||
        !m_form->isEnabled())
        return false;
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    // Text handed on without a key code (a grid opening its cell with the
    // character just typed) is not a command key: it goes to the control.
    if (keyEvent->key() == 0)
        return false;
    int key = keyEvent->key();
    if (!runUserAction([&] { m_handler(key, keyEvent->modifiers()); }) || key == 0)
        return true;
    if (key == keyEvent->key())
        return false;
    // The handler turned the key into another one: the control gets that.
    QKeyEvent changed(QEvent::KeyPress, key, keyEvent->modifiers(),
                      key == Qt::Key_Return ? QStringLiteral("\r") : QString());
    m_forwarding = true;
    QApplication::sendEvent(widget, &changed);
    m_forwarding = false;
    return true;
}

} // namespace prx
