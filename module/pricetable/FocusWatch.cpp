#include "FocusWatch.h"

#include "services/UserAction.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QWidget>

namespace prx {

FocusWatch::FocusWatch(QWidget *part, QObject *parent) : QObject(parent), m_part(part)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusWatch::focusChanged);
}

// Reads where the focus is now rather than what the signal says, since a
// handler run for the same move may already have moved it elsewhere.
void FocusWatch::focusChanged()
{
    QWidget *now = QApplication::focusWidget();
    if (!m_part || !now || m_running)
        return;
    if (now->window()->windowType() == Qt::Popup || formOf(now) != formOf(m_part))
        return;
    const bool inside = widgetBelongsTo(now, m_part);
    if (inside == m_inside)
        return;
    m_inside = inside;
    const Handler &handler = inside ? onEnter : onExit;
    if (!handler)
        return;
    m_running = true;
    const bool ok = runUserAction(handler);
    if (!ok && !inside && refocus && refocus->isEnabled() && refocus->isVisible())
        refocus->setFocus(Qt::OtherFocusReason);
    m_running = false;
    // A handler that put the focus back into the part refused the move: the
    // focus never left, so no entry is reported.
    if (QWidget *focus = QApplication::focusWidget(); focus && formOf(focus) == formOf(m_part))
        m_inside = widgetBelongsTo(focus, m_part);
}

} // namespace prx
