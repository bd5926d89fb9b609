#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace prx {

// Lets a form see every key typed in any of its controls before the control
// does. The handler may change the key or drop it (0); a handler that fails
// drops it too. Keys typed in other windows (a dialog the form opened) are
// not the form's.
class FormKeyFilter : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(int &key, Qt::KeyboardModifiers modifiers)>;

    FormKeyFilter(QWidget *form, Handler handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_form; // not owned: the filter is the form's child
    Handler m_handler;
    bool m_forwarding = false;
};

} // namespace prx
