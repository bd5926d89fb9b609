#include "HostServices.h"

#include <QWidget>

namespace prx {

namespace {

MdiChildHandler &handler()
{
    static MdiChildHandler h;
    return h;
}

} // namespace

void setMdiChildHandler(MdiChildHandler h)
{
    handler() = std::move(h);
}

QWidget *hostShowMdiChild(QWidget *form)
{
    if (!form)
        return nullptr;
    if (handler())
        return handler()(form);
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

} // namespace prx
