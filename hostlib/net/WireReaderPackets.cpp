#include "net/WireReader.h"

#include "net/Wire.h"

#include <limits>

// The packet half of the reader: fields, rows streamed into typed columns,
// and the changes of a delta.

namespace prx::wire {

namespace {

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
                    return fail(
                        QStringLiteral("tipo de campo desconhecido: %1").arg(typeName.left(40)));
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
        if (!m_reader.isArray() ||
            (m_reader.isLengthKnown() && m_reader.length() != quint64(columns)))
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
            return failCell(
                QStringLiteral("o campo %1 de uma alteração deve ser %2")
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
                    return fail(
                        QStringLiteral("tipo de alteração desconhecido: %1").arg(kind.left(40)));
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
                return fail(
                    QStringLiteral("chave inesperada em uma alteração: %1").arg(k.left(40)));
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
            return fail(
                QStringLiteral("a alteração %1 não tem um valor por campo").arg(out->size() + 1));
        if (!leave())
            return false;
        out->append(std::move(change));
    }
    return leave();
}

} // namespace prx::wire
