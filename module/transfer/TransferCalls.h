#pragma once

#include <QVariantList>

class QWidget;

namespace prx {
class ClientDataSet;
class NetConnection;
} // namespace prx

// What the export and import dialogs share.
namespace prx::transfer {

// Calls a method of the connection's server object; a refused call shows
// the server's message and abandons the command. The caller shows the busy
// animation around it.
QVariant callServer(NetConnection *net, const QString &method, const QVariantList &args);
// Loads the payload of a reading call into the dataset.
void loadPayload(ClientDataSet *dataSet, const QVariant &payload);
// An entry the user must fill has the information colour; one that only
// shows (or is not needed now) is grey.
void markRequired(QWidget *edit, bool required);

} // namespace prx::transfer
