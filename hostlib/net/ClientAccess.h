#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

namespace prx {

// How a client reaches a guarded server: the access key it proves it holds
// (never sent, see AccessKey.h) and whether it talks TLS, trusting the
// certificates of `trusted` besides the system's (a site's own certificate).
struct ClientAccess
{
    QByteArray key;
    bool tls = false;
    QList<QSslCertificate> trusted;

    // From the files a user names; false with a Portuguese *error when a file
    // cannot be used. An empty path leaves that part off; a CA file implies
    // TLS.
    static bool load(const QString &keyFile, bool tls, const QString &caFile, ClientAccess *out,
                     QString *error);
};

} // namespace prx
