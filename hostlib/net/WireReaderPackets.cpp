#include "net/WireReader.h"

#include "net/Wire.h"
#include "net/WireWriter.h"

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

// One callable made of several lambdas, each taking one type.
template <typename... F> struct Overloaded : F...
{
    using F::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang 14).
template <typename... F> Overloaded(F...) -> Overloaded<F...>;

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
    if (hasNext() && m_cuts && !*isDelta) {
        qint64 total = 0;
        if (!key(&k) || k != QLatin1StringView("more"))
            return fail(QStringLiteral("chave a mais em um pacote"));
        if (!integer(&total, "'more'"))
            return false;
        // -1: the rows are read while they are sent, their count is known
        // only when the last piece says so.
        if ((total != -1 && total <= data->rowCount()) || total > std::numeric_limits<int>::max())
            return fail(
                QStringLiteral("total de linhas inválido em um pacote em partes: %1").arg(total));
        m_cuts->push_back({data, int(total)});
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
        FieldDef f;
        auto readType = [&]() -> bool {
            QString typeName;
            if (!text(&typeName, "o tipo de um campo"))
                return false;
            if (!fieldTypeFromName(typeName, &f.type))
                return fail(
                    QStringLiteral("tipo de campo desconhecido: %1").arg(typeName.left(40)));
            return true;
        };
        auto readSize = [&]() -> bool {
            qint64 size;
            if (!integer(&size, "o tamanho de um campo"))
                return false;
            if (size < 0 || size > std::numeric_limits<int>::max())
                return fail(QStringLiteral("tamanho de campo inválido: %1").arg(size));
            f.size = int(size);
            return true;
        };
        enum
        {
            Name,
            Type,
            Size
        };
        bool seen[3];
        const bool read = keyedMap(
            "um campo",
            {QLatin1StringView("name"), QLatin1StringView("type"), QLatin1StringView("size")},
            "chave inesperada em um campo", seen, [&](size_t key) {
                return key == Name   ? text(&f.name, "o nome de um campo")
                       : key == Type ? readType()
                                     : readSize();
            });
        if (!read)
            return false;
        if (!seen[Name] || !seen[Type])
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

template <typename Store> bool WireReader::typedCell(FieldType type, Store &&store)
{
    switch (type) {
    case FieldType::String:
        if (!m_reader.isString() || !utf8Text())
            return false;
        store(lastText());
        return true;
    case FieldType::Float: {
        double d;
        if (!real(&d))
            return false;
        store(d);
        return true;
    }
    case FieldType::DateTime: {
        qint64 ms;
        if (!m_reader.isTag() || !dateTime(&ms))
            return false;
        store(DateTimeMs{ms});
        return true;
    }
    case FieldType::Integer: {
        qint64 i;
        if (!integer(&i, "um inteiro"))
            return false;
        store(i);
        return true;
    }
    case FieldType::Boolean: {
        bool b;
        if (!boolean(&b, "um valor lógico"))
            return false;
        store(b);
        return true;
    }
    }
    return false;
}

bool WireReader::cellInto(DataPacket *table, int row, int column, FieldType type)
{
    if (m_reader.isNull() || m_reader.isUndefined())
        return next(); // a new row is all nulls already
    return typedCell(type, Overloaded{
                               [&](QStringView s) { table->setString(row, column, s); },
                               [&](double d) { table->setReal(row, column, d); },
                               [&](DateTimeMs t) { table->setDateTimeMs(row, column, t.ms); },
                               [&](qint64 i) { table->setInteger(row, column, i); },
                               [&](bool b) { table->setBoolean(row, column, b); },
                           });
}

bool WireReader::cellValue(FieldType type, QVariant *out)
{
    if (m_reader.isNull() || m_reader.isUndefined()) {
        *out = QVariant();
        return next();
    }
    return typedCell(
        type, Overloaded{
                  [&](QStringView s) { *out = s.toString(); },
                  [&](DateTimeMs t) { *out = QDateTime::fromMSecsSinceEpoch(t.ms, Qt::UTC); },
                  [&](auto v) { *out = v; },
              });
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
        DeltaChange change;
        auto readKind = [&]() -> bool {
            QString kind;
            if (!text(&kind, "o tipo de uma alteração"))
                return false;
            for (ChangeKind k : {ChangeKind::Insert, ChangeKind::Update, ChangeKind::Delete}) {
                if (kind == QLatin1StringView(WireWriter::changeKindName(k))) {
                    change.kind = k;
                    return true;
                }
            }
            return fail(QStringLiteral("tipo de alteração desconhecido: %1").arg(kind.left(40)));
        };
        enum
        {
            Kind,
            Old,
            New
        };
        bool seen[3];
        const bool read = keyedMap(
            "uma alteração",
            {QLatin1StringView("kind"), QLatin1StringView("old"), QLatin1StringView("new")},
            "chave inesperada em uma alteração", seen, [&](size_t key) {
                return key == Kind  ? readKind()
                       : key == Old ? cells(fields, &change.original)
                                    : cells(fields, &change.current);
            });
        if (!read)
            return false;
        if (!seen[Kind] || !seen[Old] || !seen[New])
            return fail(QStringLiteral("uma alteração precisa de 'kind', 'old' e 'new'"));
        if (!change.hasValuesFor(n))
            return fail(
                QStringLiteral("a alteração %1 não tem um valor por campo").arg(out->size() + 1));
        if (!leave())
            return false;
        out->append(std::move(change));
    }
    return leave();
}

} // namespace prx::wire
