#pragma once

#include <QString>
#include <QVariant>

namespace prx {

// Failures found by the client itself. The server's own codes are positive, so
// a caller can tell "the server refused" from "the server was not reached".
enum NetErrorCode
{
    NetErrorConnect = -1,   // could not connect
    NetErrorTimeout = -2,   // no answer in time
    NetErrorLost = -3,      // the connection dropped during the call
    NetErrorProtocol = -4,  // the answer could not be read
    NetErrorArguments = -5, // the arguments cannot travel
    NetErrorBusy = -6,      // another call is still waiting on this connection
    NetErrorAccess = -7,    // the access key or TLS could not be settled with the server
};

// The envelope of every server call: the payload when ok, else the code and
// the message to show the user.
struct ServerResult
{
    bool ok = false;
    QVariant payload;
    int code = 0;
    QString message;
};

} // namespace prx
