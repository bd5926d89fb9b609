#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <QByteArray>
#include <QCborArray>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QVariant>

#include <functional>

// Values and hand-built CBOR bodies shared by the wire tests.

QByteArray bodyOf(const QByteArray &frame);
// `value` as the only argument of a request, or as the payload of an answer,
// encoded and decoded again.
QVariant throughRequest(const QVariant &value);
QVariant throughAnswer(const QVariant &value);
// One field of every type.
QList<prx::FieldDef> allTypes();
prx::DataPacketPtr smallPacket();
QByteArray cbor(const std::function<void(QCborStreamWriter &)> &write);
// A map of these entries in this order, repeated keys included.
QByteArray cborMap(const QList<std::pair<QString, QCborValue>> &entries);
// A request {id: 42, object, method, args} whose args `args` writes.
QByteArray requestWith(const std::function<void(QCborStreamWriter &)> &args);
// A request whose only argument is a packet of `fieldCount` float fields,
// finished by `afterFields`.
QByteArray packetRequest(const std::function<void(QCborStreamWriter &)> &afterFields,
                         int fieldCount = 1);
// A request whose only argument is a delta of one float field F0 with one
// change {kind, old, new}.
QByteArray changeRequest(const QString &kind, const QCborArray &oldCells,
                         const QCborArray &newCells);
