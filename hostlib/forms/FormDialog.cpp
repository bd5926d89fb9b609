#include "FormDialog.h"

#include "FormKeyFilter.h"

#include "services/UserAction.h"

#include <QEvent>
#include <QPointer>

namespace prx {

FormDialog::FormDialog(QWidget *parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    new FormKeyFilter(
        this, [this](int &key, Qt::KeyboardModifiers modifiers) { FormKeyDown(key, modifiers); });
}

void FormDialog::initialize()
{
    if (m_created)
        return;
    m_created = true;
    FormCreate();
}

void FormDialog::FormCreate() {}

void FormDialog::FormActivate() {}

void FormDialog::FormClose() {}

void FormDialog::FormDestroy() {}

void FormDialog::FormKeyDown(int &, Qt::KeyboardModifiers) {}

void FormDialog::showEvent(QShowEvent *event)
{
    if (!m_created)
        runUserAction([this] { initialize(); });
    QDialog::showEvent(event);
}

bool FormDialog::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (!m_active && isVisible()) {
            m_active = true;
            runUserAction([this] { FormActivate(); });
        }
        break;
    case QEvent::WindowDeactivate:
        m_active = false;
        break;
    case QEvent::DeferredDelete:
        destroying();
        break;
    default:
        break;
    }
    return QDialog::event(event);
}

// Every way out (the close button, Esc, the title bar, accept) comes here.
void FormDialog::done(int result)
{
    if (!runUserAction([this] { FormClose(); }))
        return;
    if (testAttribute(Qt::WA_DeleteOnClose))
        destroying();
    QDialog::done(result);
}

int FormDialog::exec()
{
    const bool freeAfter = testAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPointer<FormDialog> guard(this);
    const int result = QDialog::exec();
    if (guard && freeAfter) {
        setAttribute(Qt::WA_DeleteOnClose, true);
        if (!isVisible())
            deleteLater();
    }
    return result;
}

void FormDialog::destroying()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    runUserAction([this] { FormDestroy(); });
}

} // namespace prx
