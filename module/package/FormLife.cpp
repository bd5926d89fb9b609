#include "FormLife.h"

#include "services/HostUi.h"

#include <QPointer>

namespace prx::package {

QWidget *dialogParent()
{
    return HostUi::instance().mainWindow();
}

void showModalThenNormal(FormDialog *form)
{
    QPointer<FormDialog> guard(form);
    form->exec();
    if (guard)
        guard->setWindowState(Qt::WindowNoState);
}

void normalThenShowModal(FormDialog *form)
{
    form->setWindowState(Qt::WindowNoState);
    form->exec();
}

} // namespace prx::package
