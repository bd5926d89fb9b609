#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace prx {

// Tells when the focus enters or leaves a part of a form (a panel, an edit),
// the way the user sees it: a message box, a dialog or a menu taking the
// focus for a while is no change. A leave handler that fails puts the focus
// back into the part when `refocus` can take it, as if the move had been
// refused.
class FocusWatch : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    FocusWatch(QWidget *part, QObject *parent);

    Handler onEnter;
    Handler onExit;
    // Where the focus goes back when onExit fails; nothing when null or
    // disabled.
    QPointer<QWidget> refocus;

    bool focusInside() const { return m_inside; }

private:
    void focusChanged();

    QPointer<QWidget> m_part;
    bool m_inside = false;
    bool m_running = false;
};

} // namespace prx
