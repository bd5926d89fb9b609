#include "FormLife.h"

#include "services/HostUi.h"

#include <QApplication>
#include <QPointer>
#include <QScopeGuard>

namespace prx::package {

QWidget *dialogParent()
{
    return HostUi::instance().mainWindow();
}

void execModal(FormDialog *form)
{
    // The creator's hourglass stays under the dialog's own arrow, and comes
    // back once the dialog closes.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    form->exec();
}

void showModalThenNormal(FormDialog *form)
{
    QPointer<FormDialog> guard(form);
    execModal(form);
    if (guard)
        guard->setWindowState(Qt::WindowNoState);
}

void normalThenShowModal(FormDialog *form)
{
    form->setWindowState(Qt::WindowNoState);
    execModal(form);
}

} // namespace prx::package
