#include "net/AccessKey.h"

#include <QCborMap>
#include <QCborValue>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtEndian>

namespace prx::access {

namespace {

QByteArray mac(const char *role, const QByteArray &key, const QByteArray &challenge,
               const QByteArray &nonce)
{
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, key);
    code.addData(role, qsizetype(qstrlen(role)));
    code.addData(challenge);
    code.addData(nonce);
    return code.result();
}

QByteArray frameOf(const QCborMap &map)
{
    const QByteArray body = map.toCborValue().toCbor();
    QByteArray frame(4, '\0');
    qToBigEndian(quint32(body.size()), frame.data());
    return frame + body;
}

// The byte strings of a map that has exactly these keys, each of NonceBytes
// (a SHA-256 is 32 bytes too).
bool readMap(const QByteArray &body,
             std::initializer_list<std::pair<const char *, QByteArray *>> keys)
{
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(body, &error);
    if (error.error != QCborError::NoError || !value.isMap())
        return false;
    const QCborMap map = value.toMap();
    if (map.size() != qsizetype(keys.size()))
        return false;
    for (const auto &[name, out] : keys) {
        const QCborValue v = map.value(QLatin1StringView(name));
        if (!v.isByteArray() || v.toByteArray().size() != NonceBytes)
            return false;
        *out = v.toByteArray();
    }
    return true;
}

} // namespace

QByteArray readKeyFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Não foi possível ler o arquivo da chave de acesso %1: %2.")
                     .arg(path, file.errorString());
        return {};
    }
    const QByteArray key = file.read(64 * 1024).trimmed();
    if (key.size() < MinKeyBytes) {
        *error = QStringLiteral("A chave de acesso em %1 é curta demais: use ao menos %2 "
                                "caracteres aleatórios.")
                     .arg(path)
                     .arg(MinKeyBytes);
        return {};
    }
    return key;
}

QByteArray newNonce()
{
    QByteArray nonce(NonceBytes, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(nonce.data()),
                                          NonceBytes / 4);
    return nonce;
}

QByteArray clientAnswer(const QByteArray &key, const QByteArray &challenge, const QByteArray &nonce)
{
    return mac("prx-client", key, challenge, nonce);
}

QByteArray serverProof(const QByteArray &key, const QByteArray &challenge, const QByteArray &nonce)
{
    return mac("prx-server", key, challenge, nonce);
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QByteArray challengeFrame(const QByteArray &challenge)
{
    return frameOf(QCborMap{{QStringLiteral("challenge"), challenge}});
}

QByteArray answerFrame(const QByteArray &answer, const QByteArray &nonce)
{
    return frameOf(QCborMap{{QStringLiteral("answer"), answer}, {QStringLiteral("nonce"), nonce}});
}

QByteArray proofFrame(const QByteArray &proof)
{
    return frameOf(QCborMap{{QStringLiteral("proof"), proof}});
}

bool readChallenge(const QByteArray &body, QByteArray *challenge)
{
    return readMap(body, {{"challenge", challenge}});
}

bool readAnswer(const QByteArray &body, QByteArray *answer, QByteArray *nonce)
{
    return readMap(body, {{"answer", answer}, {"nonce", nonce}});
}

bool readProof(const QByteArray &body, QByteArray *proof)
{
    return readMap(body, {{"proof", proof}});
}

} // namespace prx::access
