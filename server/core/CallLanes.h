#pragma once

#include "core/WorkerPool.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace prx::server {

// Sorts requests into the two lanes of the workers before they are decoded:
// long for the methods that may keep a worker for seconds (reads of whole
// periods, bulk writers, exports and imports, checks and reviews over a
// period), short for everything else. Only the method name is read; the
// arguments are skipped, so this costs next to nothing on the thread that
// moves the bytes.
class CallLanes
{
public:
    CallLanes(); // the server's own long methods
    explicit CallLanes(const QStringList &longMethods);

    static QStringList defaultLongMethods();

    // Long also when the body is large (a save that carries many rows is
    // long whatever its method) or when no method can be read from it (the
    // worker then answers the error, and a hostile frame stays off the
    // short lane).
    WorkerPool::Lane laneOf(const QByteArray &body) const;

private:
    QSet<QString> m_long; // lower case: methods are found without regard to case
};

} // namespace prx::server
