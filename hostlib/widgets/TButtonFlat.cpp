#include "TButtonFlat.h"

#include <QAction>

namespace prx {

TButtonFlat::TButtonFlat(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(24, 24));
}

TButtonFlat::TButtonFlat(const QString &caption, const QString &hint, const QIcon &icon,
                         QWidget *parent)
    : TButtonFlat(parent)
{
    setText(caption);
    setToolTip(hint);
    setIcon(icon);
}

void FollowTwin(QAbstractButton *button, const QAction *twin)
{
    if (button && twin)
        button->setEnabled(twin->isEnabled());
}

} // namespace prx
