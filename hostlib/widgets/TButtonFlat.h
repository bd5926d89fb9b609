#pragma once

#include <QToolButton>

class QAbstractButton;
class QAction;

namespace prx {

// A flat toolbar button. It never takes the keyboard focus, so that a click
// leaves the focus where the user was working (a grid, an edit) and the
// command can look at that control.
class TButtonFlat : public QToolButton
{
    Q_OBJECT

public:
    explicit TButtonFlat(QWidget *parent = nullptr);
    TButtonFlat(const QString &caption, const QString &hint, const QIcon &icon,
                QWidget *parent = nullptr);
};

// A toolbar button takes the enabled state of its menu twin.
void FollowTwin(QAbstractButton *button, const QAction *twin);

} // namespace prx
