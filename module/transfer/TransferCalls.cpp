#include "TransferCalls.h"

#include "dataset/ClientDataSet.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <stdexcept>

namespace prx::transfer {

QVariant callServer(NetConnection *net, const QString &method, const QVariantList &args)
{
    return CheckResultServ(net->call(method, args), true, 0);
}

void loadPayload(ClientDataSet *dataSet, const QVariant &payload)
{
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu os dados pedidos.");
    dataSet->loadPacket(std::move(*packet));
}

void markRequired(QWidget *edit, bool required)
{
    QPalette palette = edit->palette();
    const QPalette app = QApplication::palette();
    const QColor colour = required ? app.color(QPalette::ToolTipBase) : app.color(QPalette::Window);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, colour);
    edit->setPalette(palette);
}

} // namespace prx::transfer
