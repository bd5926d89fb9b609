#include "WidgetUtils.h"

#include <QMdiSubWindow>
#include <QWidget>

namespace prx {

bool widgetBelongsTo(const QWidget *widget, const QWidget *owner)
{
    if (!owner)
        return false;
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == owner)
            return true;
        if (w->isWindow() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip)
            return false;
    }
    return false;
}

QWidget *formOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->isWindow() && w->windowType() != Qt::Popup)
            return w;
        if (qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            return w;
    }
    return nullptr;
}

} // namespace prx
