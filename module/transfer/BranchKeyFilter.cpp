#include "BranchKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace prx {

BranchKeyFilter::BranchKeyFilter(QLineEdit *edit, QObject *parent) : QObject(parent)
{
    edit->installEventFilter(this);
}

bool BranchKeyFilter::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    const bool accepted = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || c == u'Ç';
    return !accepted;
}

} // namespace prx
