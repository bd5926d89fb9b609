#include "net/ClientAccess.h"

#include "net/AccessKey.h"

namespace prx {

bool ClientAccess::load(const QString &keyFile, bool tls, const QString &caFile, ClientAccess *out,
                        QString *error)
{
    ClientAccess access;
    if (!keyFile.isEmpty()) {
        access.key = access::readKeyFile(keyFile, error);
        if (access.key.isEmpty())
            return false;
    }
    access.tls = tls || !caFile.isEmpty();
    if (!caFile.isEmpty()) {
        access.trusted = QSslCertificate::fromPath(caFile);
        if (access.trusted.isEmpty()) {
            *error = QStringLiteral("Certificado ilegível: %1.").arg(caFile);
            return false;
        }
    }
    *out = access;
    return true;
}

} // namespace prx
