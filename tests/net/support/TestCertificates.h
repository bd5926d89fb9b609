#pragma once

#include <QByteArray>

// A self-signed certificate for "localhost" / 127.0.0.1 with its key, and
// another certificate for the same names that no test trusts. Made once with
//   openssl req -x509 -newkey rsa:2048 -nodes -days 36500 -subj /CN=localhost
//       -addext subjectAltName=DNS:localhost,IP:127.0.0.1
// and kept in the code so that the tests need no files beside them.
namespace testcerts {

QByteArray serverCertificate();
QByteArray serverKey();
QByteArray otherCertificate();

} // namespace testcerts
