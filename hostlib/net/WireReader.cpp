#include "net/WireReader.h"

#include "net/Wire.h"

#include <limits>

namespace prx::wire {

namespace {

// Loose values (QVariant cells of lists and deltas) that one input may expand
// into: a null takes one byte on the wire but 32 in memory, so the frame size
// alone does not bound memory.
constexpr qint64 ValueBudget = 8 * 1024 * 1024;

const char *typeText(FieldType type)
{
    switch (type) {
    case FieldType::String:
        return "texto";
    case FieldType::Float:
        return "número";
    case FieldType::DateTime:
        return "data-hora";
    case FieldType::Integer:
        return "inteiro";
    case FieldType::Boolean:
        return "lógico";
    }
    return "?";
}

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
    return fail(QStringLiteral("%1 deve ser %2")
                    .arg(QString::fromUtf8(what), QString::fromUtf8(expected)));
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
    // could hold that many items.
    const qint64 fit = remaining() / std::max<qint64>(1, minItemBytes);
    return qint64(std::min<quint64>(declared, quint64(fit)));
}

bool WireReader::next()
{
    if (!m_reader.next())
        return fail(QStringLiteral("dados CBOR inválidos (%1)").arg(m_reader.lastError().toString()));
    return true;
}

bool WireReader::enterMap(const char *what)
{
    if (!m_reader.isMap())
        return failType("um mapa", what);
    if (!m_reader.enterContainer())
        return failType("um mapa", what);
    return true;
}

bool WireReader::enterArray(const char *what)
{
    if (!m_reader.isArray())
        return failType("uma lista", what);
    if (!m_reader.enterContainer())
        return failType("uma lista", what);
    return true;
}

bool WireReader::leave()
{
    if (m_reader.lastError() != QCborError::NoError || !m_reader.leaveContainer())
        return fail(QStringLiteral("dados CBOR inválidos (%1)").arg(m_reader.lastError().toString()));
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
    if (!m_reader.isString())
        return failType("um texto", "a chave de um mapa");
    if (!utf8Text())
        return false;
    *key = lastText().toString();
    return true;
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
            return fail(QStringLiteral("%1 fora do intervalo de um inteiro").arg(QString::fromUtf8(what)));
    } else if (m_reader.isNegativeInteger()) {
        // -1 - n; the reader's own conversion wraps when n does not fit.
        const quint64 magnitude = quint64(m_reader.toNegativeInteger());
        if (magnitude == 0 || magnitude > quint64(std::numeric_limits<qint64>::max()) + 1)
            return fail(QStringLiteral("%1 fora do intervalo de um inteiro").arg(QString::fromUtf8(what)));
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

bool WireReader::packet(DataPacket *data, DeltaPacket *delta, bool *isDelta)
{
    if (!enterMap("um pacote"))
        return false;
    QString k;
    if (!hasNext() || !key(&k) || k != QLatin1StringView("fields"))
        return fail(QStringLiteral("um pacote deve começar por 'fields'"));
    QList<FieldDef> defs;
    if (!fields(&defs))
        return false;
    if (!hasNext() || !key(&k))
        return fail(QStringLiteral("um pacote precisa de 'rows' ou 'changes'"));
    if (k == QLatin1StringView("rows")) {
        *data = DataPacket(defs);
        if (!rows(data))
            return false;
        *isDelta = false;
    } else if (k == QLatin1StringView("changes")) {
        delta->fields = defs;
        delta->changes.clear();
        if (!changes(defs, &delta->changes))
            return false;
        *isDelta = true;
    } else {
        return fail(QStringLiteral("chave desconhecida em um pacote: %1").arg(k.left(40)));
    }
    if (hasNext())
        return fail(QStringLiteral("chave a mais em um pacote"));
    return leave();
}

bool WireReader::fields(QList<FieldDef> *out)
{
    if (m_reader.isArray() && m_reader.isLengthKnown() && m_reader.length() > quint64(MaxFields))
        return fail(QStringLiteral("um pacote não pode ter mais de %1 campos").arg(MaxFields));
    if (!enterArray("'fields'"))
        return false;
    while (hasNext()) {
        if (out->size() >= MaxFields)
            return fail(QStringLiteral("um pacote não pode ter mais de %1 campos").arg(MaxFields));
        if (!enterMap("um campo"))
            return false;
        FieldDef f;
        bool hasName = false, hasType = false, hasSize = false;
        while (hasNext()) {
            QString k;
            if (!key(&k))
                return false;
            if (k == QLatin1StringView("name") && !hasName) {
                if (!text(&f.name, "o nome de um campo"))
                    return false;
                hasName = true;
            } else if (k == QLatin1StringView("type") && !hasType) {
                QString typeName;
                if (!text(&typeName, "o tipo de um campo"))
                    return false;
                if (!fieldTypeFromName(typeName, &f.type))
                    return fail(QStringLiteral("tipo de campo desconhecido: %1").arg(typeName.left(40)));
                hasType = true;
            } else if (k == QLatin1StringView("size") && !hasSize) {
                qint64 size;
                if (!integer(&size, "o tamanho de um campo"))
                    return false;
                if (size < 0 || size > std::numeric_limits<int>::max())
                    return fail(QStringLiteral("tamanho de campo inválido: %1").arg(size));
                f.size = int(size);
                hasSize = true;
            } else {
                return fail(QStringLiteral("chave inesperada em um campo: %1").arg(k.left(40)));
            }
        }
        if (!hasName || !hasType)
            return fail(QStringLiteral("um campo precisa de nome e tipo"));
        if (!leave())
            return false;
        out->append(f);
    }
    return leave();
}

bool WireReader::rows(DataPacket *table)
{
    const int columns = table->columnCount();
    if (!m_reader.isArray())
        return failType("uma lista", "'rows'");
    if (m_reader.isLengthKnown()) {
        // Each row takes at least its array head and one byte per cell.
        const qint64 bound = reserveBound(m_reader.length(), 1 + columns);
        table->reserve(int(std::min<qint64>(bound, std::numeric_limits<int>::max())));
    }
    std::vector<FieldType> types;
    types.reserve(columns);
    for (const FieldDef &f : table->fields())
        types.push_back(f.type);

    if (!enterArray("'rows'"))
        return false;
    while (hasNext()) {
        if (table->rowCount() == std::numeric_limits<int>::max())
            return fail(QStringLiteral("linhas demais em um pacote"));
        if (!m_reader.isArray() || (m_reader.isLengthKnown() && m_reader.length() != quint64(columns)))
            return fail(QStringLiteral("a linha %1 deve ser uma lista de %2 valores")
                            .arg(table->rowCount() + 1)
                            .arg(columns));
        if (!enterArray("uma linha"))
            return false;
        const int row = table->appendRow();
        for (int c = 0; c < columns; ++c) {
            if (!hasNext())
                return fail(QStringLiteral("a linha %1 tem valores de menos").arg(row + 1));
            if (!cellInto(table, row, c, types[c])) {
                return failCell(QStringLiteral("o campo %1 da linha %2 deve ser %3")
                                    .arg(table->field(c).name.left(40))
                                    .arg(row + 1)
                                    .arg(QString::fromUtf8(typeText(types[c]))));
            }
        }
        if (hasNext())
            return fail(QStringLiteral("a linha %1 tem valores demais").arg(row + 1));
        if (!leave())
            return false;
    }
    return leave();
}

bool WireReader::cellInto(DataPacket *table, int row, int column, FieldType type)
{
    if (m_reader.isNull() || m_reader.isUndefined())
        return next(); // a new row is all nulls already
    switch (type) {
    case FieldType::String:
        if (!m_reader.isString() || !utf8Text())
            return false;
        table->setString(row, column, lastText());
        return true;
    case FieldType::Float: {
        double d;
        if (!real(&d))
            return false;
        table->setReal(row, column, d);
        return true;
    }
    case FieldType::DateTime: {
        qint64 ms;
        if (!m_reader.isTag() || !dateTime(&ms))
            return false;
        table->setDateTimeMs(row, column, ms);
        return true;
    }
    case FieldType::Integer: {
        qint64 i;
        if (!integer(&i, "um inteiro"))
            return false;
        table->setInteger(row, column, i);
        return true;
    }
    case FieldType::Boolean: {
        bool b;
        if (!boolean(&b, "um valor lógico"))
            return false;
        table->setBoolean(row, column, b);
        return true;
    }
    }
    return false;
}

bool WireReader::cellValue(FieldType type, QVariant *out)
{
    if (m_reader.isNull() || m_reader.isUndefined()) {
        *out = QVariant();
        return next();
    }
    switch (type) {
    case FieldType::String:
        if (!m_reader.isString() || !utf8Text())
            return false;
        *out = lastText().toString();
        return true;
    case FieldType::Float: {
        double d;
        if (!real(&d))
            return false;
        *out = d;
        return true;
    }
    case FieldType::DateTime: {
        qint64 ms;
        if (!m_reader.isTag() || !dateTime(&ms))
            return false;
        *out = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        return true;
    }
    case FieldType::Integer: {
        qint64 i;
        if (!integer(&i, "um inteiro"))
            return false;
        *out = i;
        return true;
    }
    case FieldType::Boolean: {
        bool b;
        if (!boolean(&b, "um valor lógico"))
            return false;
        *out = b;
        return true;
    }
    }
    return false;
}

bool WireReader::cells(const QList<FieldDef> &fields, QVariantList *out)
{
    if (!m_reader.isArray())
        return failType("uma lista", "os valores de uma alteração");
    if (m_reader.isLengthKnown() && m_reader.length() > quint64(fields.size()))
        return fail(QStringLiteral("uma alteração tem valores demais"));
    if (!enterArray("os valores de uma alteração"))
        return false;
    while (hasNext()) {
        const qsizetype i = out->size();
        if (i >= fields.size())
            return fail(QStringLiteral("uma alteração tem valores demais"));
        QVariant v;
        if (!spend(1))
            return false;
        if (!cellValue(fields[i].type, &v))
            return failCell(QStringLiteral("o campo %1 de uma alteração deve ser %2")
                            .arg(fields[i].name.left(40), QString::fromUtf8(typeText(fields[i].type))));
        out->append(std::move(v));
    }
    return leave();
}

bool WireReader::changes(const QList<FieldDef> &fields, QList<DeltaChange> *out)
{
    if (!m_reader.isArray())
        return failType("uma lista", "'changes'");
    if (m_reader.isLengthKnown())
        out->reserve(reserveBound(m_reader.length(), 16));
    if (!enterArray("'changes'"))
        return false;
    const qsizetype n = fields.size();
    while (hasNext()) {
        if (!enterMap("uma alteração"))
            return false;
        DeltaChange change;
        bool hasKind = false, hasOld = false, hasNew = false;
        while (hasNext()) {
            QString k;
            if (!key(&k))
                return false;
            if (k == QLatin1StringView("kind") && !hasKind) {
                QString kind;
                if (!text(&kind, "o tipo de uma alteração"))
                    return false;
                if (kind == QLatin1StringView("insert"))
                    change.kind = ChangeKind::Insert;
                else if (kind == QLatin1StringView("update"))
                    change.kind = ChangeKind::Update;
                else if (kind == QLatin1StringView("delete"))
                    change.kind = ChangeKind::Delete;
                else
                    return fail(QStringLiteral("tipo de alteração desconhecido: %1").arg(kind.left(40)));
                hasKind = true;
            } else if (k == QLatin1StringView("old") && !hasOld) {
                if (!cells(fields, &change.original))
                    return false;
                hasOld = true;
            } else if (k == QLatin1StringView("new") && !hasNew) {
                if (!cells(fields, &change.current))
                    return false;
                hasNew = true;
            } else {
                return fail(QStringLiteral("chave inesperada em uma alteração: %1").arg(k.left(40)));
            }
        }
        if (!hasKind || !hasOld || !hasNew)
            return fail(QStringLiteral("uma alteração precisa de 'kind', 'old' e 'new'"));
        // A saving method indexes these lists by field: their sizes must be
        // what the kind promises.
        const qsizetype oldSize = change.original.size(), newSize = change.current.size();
        const bool sizesOk = change.kind == ChangeKind::Insert   ? oldSize == 0 && newSize == n
                             : change.kind == ChangeKind::Delete ? oldSize == n && newSize == 0
                                                                 : oldSize == n && newSize == n;
        if (!sizesOk)
            return fail(QStringLiteral("a alteração %1 não tem um valor por campo").arg(out->size() + 1));
        if (!leave())
            return false;
        out->append(std::move(change));
    }
    return leave();
}

} // namespace prx::wire
