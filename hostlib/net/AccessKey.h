#pragma once

#include <QByteArray>
#include <QString>

// Proof of holding the server's access key without sending it. Right after a
// connection opens, a server that has a key sends a challenge:
//   server -> client  {challenge: 32 random bytes}
//   client -> server  {answer: HMAC-SHA256(key, "prx-client" | challenge | nonce),
//                      nonce: 32 random bytes}
//   server -> client  {proof: HMAC-SHA256(key, "prx-server" | challenge | nonce)}
// The server then serves calls; the client, having checked the proof, knows it
// talks to a holder of the key and not to an impostor. A wrong answer is met,
// after a short delay, with an error answer of id 0 and a closed connection.
// Each of these is one frame of the wire, a CBOR map with exactly these keys.
namespace prx::access {

constexpr int NonceBytes = 32;
// Shorter keys are refused: a key guessed is a key given away.
constexpr int MinKeyBytes = 16;
// Handshake frames are tiny; a bigger one before the proof is hostile.
constexpr quint32 HandshakeFrameLimit = 1024;

// The key of a key file: its content with surrounding blanks removed. Empty,
// with a Portuguese *error, when the file cannot be read or is too short.
QByteArray readKeyFile(const QString &path, QString *error);

QByteArray newNonce();
QByteArray clientAnswer(const QByteArray &key, const QByteArray &challenge,
                        const QByteArray &nonce);
QByteArray serverProof(const QByteArray &key, const QByteArray &challenge, const QByteArray &nonce);
// Compares in time that does not depend on where the bytes differ.
bool sameBytes(const QByteArray &a, const QByteArray &b);

// Whole frames, length prefix included.
QByteArray challengeFrame(const QByteArray &challenge);
QByteArray answerFrame(const QByteArray &answer, const QByteArray &nonce);
QByteArray proofFrame(const QByteArray &proof);

// Bodies (without the prefix); false when the body is not that message.
bool readChallenge(const QByteArray &body, QByteArray *challenge);
bool readAnswer(const QByteArray &body, QByteArray *answer, QByteArray *nonce);
bool readProof(const QByteArray &body, QByteArray *proof);

} // namespace prx::access
