#include "net/WireReader.h"

#include "net/Wire.h"

#include <limits>

namespace prx::wire {

namespace {

// Loose values (QVariant cells of lists and deltas) that one input may expand
// into: a null takes one byte on the wire but 32 in memory, so the frame size
// alone does not bound memory.
constexpr qint64 ValueBudget = 8 * 1024 * 1024;

} // namespace

WireReader::WireReader(QCborStreamReader &reader, qint64 end)
    : m_reader(reader), m_end(end), m_budget(ValueBudget)
{
}

bool WireReader::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return false;
}

bool WireReader::failType(const char *expected, const char *what)
{
    if (m_reader.lastError() != QCborError::NoError)
        return fail(QStringLiteral("dados CBOR inválidos ao ler %1 (%2)")
                        .arg(QString::fromUtf8(what), m_reader.lastError().toString()));
    return fail(
        QStringLiteral("%1 deve ser %2").arg(QString::fromUtf8(what), QString::fromUtf8(expected)));
}

bool WireReader::failCell(const QString &reason)
{
    // Name the cell, and keep the detail of what was wrong with it.
    m_error = m_error.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, m_error);
    return false;
}

bool WireReader::spend(qint64 values)
{
    m_budget -= values;
    if (m_budget < 0)
        return fail(QStringLiteral("valores demais em um só quadro"));
    return true;
}

qint64 WireReader::remaining() const
{
    if (m_end < 0)
        return MaxFrameBytes;
    return std::max<qint64>(0, m_end - m_reader.currentOffset());
}

qint64 WireReader::reserveBound(quint64 declared, qint64 minItemBytes) const
{
    // A count read from the wire is only believed as far as the bytes left
    // could hold that many items. Without a known end, that would be the
    // whole frame limit: a few bytes declaring a huge count would then
    // reserve hundreds of megabytes, so the reservation stays small and the
    // list grows as items really arrive.
    constexpr qint64 UnknownEndItems = 64 * 1024;
    qint64 fit = remaining() / std::max<qint64>(1, minItemBytes);
    if (m_end < 0)
        fit = std::min(fit, UnknownEndItems);
    return qint64(std::min<quint64>(declared, quint64(fit)));
}

bool WireReader::next()
{
    if (!m_reader.next())
        return fail(
            QStringLiteral("dados CBOR inválidos (%1)").arg(m_reader.lastError().toString()));
    return true;
}

bool WireReader::enterMap(const char *what)
{
    if (!m_reader.isMap() || !m_reader.enterContainer())
        return failType("um mapa", what);
    return true;
}

bool WireReader::enterArray(const char *what)
{
    if (!m_reader.isArray() || !m_reader.enterContainer())
        return failType("uma lista", what);
    return true;
}

bool WireReader::leave()
{
    if (m_reader.lastError() != QCborError::NoError || !m_reader.leaveContainer())
        return fail(
            QStringLiteral("dados CBOR inválidos (%1)").arg(m_reader.lastError().toString()));
    return true;
}

bool WireReader::utf8Text()
{
    m_utf8.clear();
    for (;;) {
        const qsizetype chunk = m_reader.currentStringChunkSize();
        if (chunk < 0 || chunk > remaining())
            return fail(QStringLiteral("texto maior que os dados recebidos"));
        const size_t at = m_utf8.size();
        m_utf8.resize(at + size_t(chunk));
        const auto result = m_reader.readStringChunk(m_utf8.data() + at, chunk);
        if (result.status == QCborStreamReader::Error)
            return fail(QStringLiteral("texto inválido (%1)").arg(m_reader.lastError().toString()));
        if (result.status == QCborStreamReader::EndOfString) {
            m_utf8.resize(at);
            break;
        }
        m_utf8.resize(at + size_t(result.data));
    }
    // UTF-16 never needs more units than UTF-8 has bytes.
    if (m_utf16.size() < m_utf8.size())
        m_utf16.resize(m_utf8.size());
    // Codes, flags and most names are plain ASCII: widen them directly and
    // leave the decoder to the texts that need it.
    const size_t n = m_utf8.size();
    unsigned char high = 0;
    for (size_t i = 0; i < n; ++i)
        high |= static_cast<unsigned char>(m_utf8[i]);
    if (high < 0x80) {
        for (size_t i = 0; i < n; ++i)
            m_utf16[i] = char16_t(static_cast<unsigned char>(m_utf8[i]));
        m_textLength = qsizetype(n);
        return true;
    }
    QChar *begin = reinterpret_cast<QChar *>(m_utf16.data());
    QChar *end =
        m_decoder.appendToBuffer(begin, QByteArrayView(m_utf8.data(), qsizetype(m_utf8.size())));
    if (m_decoder.hasError())
        return fail(QStringLiteral("texto com UTF-8 inválido"));
    m_textLength = end - begin;
    return true;
}

bool WireReader::key(QString *key)
{
    return text(key, "a chave de um mapa");
}

bool WireReader::text(QString *out, const char *what)
{
    if (!m_reader.isString())
        return failType("um texto", what);
    if (!utf8Text())
        return false;
    *out = lastText().toString();
    return true;
}

bool WireReader::integer(qint64 *out, const char *what)
{
    if (m_reader.isUnsignedInteger()) {
        if (m_reader.toUnsignedInteger() > quint64(std::numeric_limits<qint64>::max()))
            return fail(
                QStringLiteral("%1 fora do intervalo de um inteiro").arg(QString::fromUtf8(what)));
    } else if (m_reader.isNegativeInteger()) {
        // -1 - n; the reader's own conversion wraps when n does not fit.
        const quint64 magnitude = quint64(m_reader.toNegativeInteger());
        if (magnitude == 0 || magnitude > quint64(std::numeric_limits<qint64>::max()) + 1)
            return fail(
                QStringLiteral("%1 fora do intervalo de um inteiro").arg(QString::fromUtf8(what)));
    } else {
        return failType("um inteiro", what);
    }
    *out = m_reader.toInteger();
    return next();
}

bool WireReader::boolean(bool *out, const char *what)
{
    if (!m_reader.isBool())
        return failType("um valor lógico", what);
    *out = m_reader.toBool();
    return next();
}

bool WireReader::real(double *out)
{
    switch (m_reader.type()) {
    case QCborStreamReader::Double:
        *out = m_reader.toDouble();
        break;
    case QCborStreamReader::Float:
        *out = double(m_reader.toFloat());
        break;
    case QCborStreamReader::Float16:
        *out = double(float(m_reader.toFloat16()));
        break;
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger: {
        qint64 i;
        if (!integer(&i, "um número"))
            return false;
        *out = double(i);
        return true;
    }
    default:
        return failType("um número", "um valor");
    }
    return next();
}

bool WireReader::dateTime(qint64 *msecs)
{
    // The tag is current.
    if (m_reader.toTag() != QCborTag(QCborKnownTags::DateTimeString))
        return fail(QStringLiteral("marca CBOR não suportada: %1").arg(quint64(m_reader.toTag())));
    if (!next())
        return false;
    if (!m_reader.isString())
        return failType("um texto", "uma data-hora");
    if (!utf8Text())
        return false;
    const QByteArrayView raw(m_utf8.data(), qsizetype(m_utf8.size()));
    if (!parseDateTime(raw, msecs))
        return fail(QStringLiteral("data-hora inválida: %1").arg(QString::fromUtf8(raw).left(40)));
    return true;
}

bool WireReader::value(QVariant *out, int depth)
{
    if (!spend(1))
        return false;
    switch (m_reader.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger: {
        qint64 i;
        if (!integer(&i, "um valor"))
            return false;
        *out = i;
        return true;
    }
    case QCborStreamReader::Double:
    case QCborStreamReader::Float:
    case QCborStreamReader::Float16: {
        double d;
        if (!real(&d))
            return false;
        *out = d;
        return true;
    }
    case QCborStreamReader::TextString:
        if (!utf8Text())
            return false;
        *out = lastText().toString();
        return true;
    case QCborStreamReader::Tag: {
        qint64 ms;
        if (!dateTime(&ms))
            return false;
        *out = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        return true;
    }
    case QCborStreamReader::SimpleType:
        if (m_reader.isBool())
            *out = m_reader.toBool();
        else if (m_reader.isNull() || m_reader.isUndefined())
            *out = QVariant();
        else
            return fail(QStringLiteral("valor simples CBOR não suportado"));
        return next();
    case QCborStreamReader::Array: {
        if (depth >= MaxNesting)
            return fail(QStringLiteral("listas aninhadas demais"));
        QVariantList list;
        if (m_reader.isLengthKnown())
            list.reserve(reserveBound(m_reader.length(), 1));
        if (!enterArray("uma lista"))
            return false;
        while (hasNext()) {
            QVariant item;
            if (!value(&item, depth + 1))
                return false;
            list.append(std::move(item));
        }
        if (!leave())
            return false;
        *out = list;
        return true;
    }
    case QCborStreamReader::Map: {
        auto data = std::make_shared<DataPacket>();
        DeltaPacket delta;
        bool isDelta = false;
        if (!packet(data.get(), &delta, &isDelta))
            return false;
        *out = isDelta ? QVariant::fromValue(std::move(delta)) : QVariant::fromValue(data);
        return true;
    }
    case QCborStreamReader::ByteArray:
        return fail(QStringLiteral("sequência de bytes não é um valor aceito"));
    default:
        return failType("um valor", "um item");
    }
}

} // namespace prx::wire
