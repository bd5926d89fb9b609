#include "storage/DeltaWriter.h"

#include "core/MethodRegistry.h"
#include "storage/Storage.h"

#include <cmath>

namespace prx::server {

DeltaWriter::DeltaWriter(const Storage &storage, const TableDef &table, const DeltaPacket &delta,
                         std::function<QString(const DeltaRow &)> describe)
    : m_storage(storage), m_table(table), m_describe(std::move(describe))
{
    m_deltaIndex.reserve(table.columns.size());
    for (const ColumnDef &c : table.columns)
        m_deltaIndex << (c.name == u"DTULTALT" ? -1 : delta.indexOf(c.name));
    m_stampColumn = table.indexOf(u"DTULTALT");
}

int DeltaWriter::column(QStringView name) const
{
    const int i = m_table.indexOf(name);
    Q_ASSERT_X(i >= 0, "DeltaWriter::column", "unknown column");
    return i;
}

QVariant DeltaWriter::nullValue(int column) const
{
    return convert(m_table.columns.at(column), QVariant());
}

QVariant DeltaWriter::convert(const ColumnDef &column, const QVariant &value) const
{
    auto bad = [&] {
        return ServerError(QStringLiteral("Valor inválido para o campo %1.").arg(column.name),
                           ErrorArguments);
    };
    if (!value.isValid() || value.isNull()) {
        return column.type == FieldType::Float ? QVariant(QMetaType::fromType<double>())
                                               : QVariant(QMetaType::fromType<QString>());
    }
    const int id = value.metaType().id();
    switch (column.type) {
    case FieldType::String: {
        if (id != QMetaType::QString)
            throw bad();
        const QString text = value.toString();
        if (text.size() > column.size) {
            throw ServerError(QStringLiteral("O campo %1 aceita no máximo %2 caractere(s).")
                                  .arg(column.name)
                                  .arg(column.size),
                              ErrorArguments);
        }
        return text;
    }
    case FieldType::Float: {
        if (id != QMetaType::Double && id != QMetaType::Int && id != QMetaType::LongLong &&
            id != QMetaType::Float)
            throw bad();
        const double d = value.toDouble();
        // SQLite would store NaN as null and PostgreSQL keeps infinities that
        // no screen can show: neither is a price.
        if (!std::isfinite(d))
            throw bad();
        return d;
    }
    case FieldType::DateTime:
        if (id != QMetaType::QDateTime)
            throw bad();
        return SqlDialect::bindDateTime(value.toDateTime());
    case FieldType::Integer:
    case FieldType::Boolean:
        if (id != QMetaType::Int && id != QMetaType::LongLong && id != QMetaType::Bool)
            throw bad();
        return value.toLongLong();
    }
    throw bad();
}

DeltaRow DeltaWriter::rowFrom(const QVariantList &values) const
{
    DeltaRow row;
    const int n = int(m_table.columns.size());
    row.values.resize(n);
    row.present.resize(n);
    for (int c = 0; c < n; ++c) {
        const int d = m_deltaIndex[c];
        if (d < 0)
            continue;
        row.present[c] = true;
        row.values[c] = convert(m_table.columns[c], d < values.size() ? values[d] : QVariant());
    }
    return row;
}

DeltaRow DeltaWriter::originalRow(const DeltaChange &change) const
{
    return rowFrom(change.original);
}

DeltaRow DeltaWriter::currentRow(const DeltaChange &change) const
{
    return rowFrom(change.current);
}

void DeltaWriter::requireKey(const DeltaRow &row) const
{
    for (const QString &k : m_table.primaryKey) {
        const int c = m_table.indexOf(k);
        if (row.isNull(c) || row.values[c].toString().isEmpty()) {
            throw ServerError(QStringLiteral("Campo %1 deve ser informado.").arg(k),
                              ErrorArguments);
        }
    }
}

void DeltaWriter::requireSameKey(const DeltaRow &original, const DeltaRow &current) const
{
    for (const QString &k : m_table.primaryKey) {
        const int c = m_table.indexOf(k);
        if (current.has(c) && current.values[c] != original.values[c]) {
            throw ServerError(QStringLiteral("Operação recusada: o campo %1 de %2 não pode ser "
                                             "alterado.")
                                  .arg(k, m_describe(original)),
                              ErrorArguments);
        }
    }
}

QSqlQuery &DeltaWriter::cached(const QString &sql)
{
    auto it = m_queries.find(sql);
    if (it == m_queries.end())
        it = m_queries.emplace(sql, m_storage.prepare(sql)).first;
    return it->second;
}

// Every column the delta carried must still hold the value read; the values
// go in through bindOriginal.
QString DeltaWriter::whereOriginal(const DeltaRow &row) const
{
    QStringList terms;
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (!row.has(c))
            continue;
        const QString &name = m_table.columns[c].name;
        const QString param = QStringLiteral(":w%1").arg(c);
        if (m_table.isKey(name))
            terms << QStringLiteral("%1 = %2").arg(name, param);
        else
            terms << m_storage.dialect().nullSafeEqual(name, param);
    }
    return terms.join(QStringLiteral(" AND "));
}

void DeltaWriter::bindOriginal(QSqlQuery &query, const DeltaRow &row) const
{
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (row.has(c))
            query.bindValue(QStringLiteral(":w%1").arg(c), row.values[c]);
    }
}

bool DeltaWriter::insert(const DeltaRow &current)
{
    requireKey(current);
    QStringList columns, values;
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (!current.has(c))
            continue;
        columns << m_table.columns[c].name;
        values << QStringLiteral(":v%1").arg(c);
    }
    if (m_stampColumn >= 0) {
        columns << m_table.columns[m_stampColumn].name;
        values << m_storage.dialect().now();
    }
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT DO NOTHING")
                            .arg(m_table.name, columns.join(u", "), values.join(u", "));
    QSqlQuery &q = cached(sql);
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (current.has(c))
            q.bindValue(QStringLiteral(":v%1").arg(c), current.values[c]);
    }
    m_storage.exec(q, QStringLiteral("incluir em %1").arg(m_table.name));
    return q.numRowsAffected() == 1;
}

bool DeltaWriter::update(const DeltaRow &original, const DeltaRow &current)
{
    requireKey(original);
    requireKey(current);
    if (m_keyFixed)
        requireSameKey(original, current);
    QStringList sets;
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (current.has(c))
            sets << QStringLiteral("%1 = :s%2").arg(m_table.columns[c].name).arg(c);
    }
    if (m_stampColumn >= 0) {
        sets << QStringLiteral("%1 = %2").arg(m_table.columns[m_stampColumn].name,
                                              m_storage.dialect().now());
    }
    QSqlQuery &q = cached(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                              .arg(m_table.name, sets.join(u", "), whereOriginal(original)));
    for (int c = 0; c < m_table.columns.size(); ++c) {
        if (current.has(c))
            q.bindValue(QStringLiteral(":s%1").arg(c), current.values[c]);
    }
    bindOriginal(q, original);
    m_storage.exec(q, QStringLiteral("alterar %1").arg(m_table.name));
    return q.numRowsAffected() == 1;
}

bool DeltaWriter::remove(const DeltaRow &original)
{
    requireKey(original);
    QSqlQuery &q = cached(
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table.name, whereOriginal(original)));
    bindOriginal(q, original);
    m_storage.exec(q, QStringLiteral("excluir de %1").arg(m_table.name));
    return q.numRowsAffected() == 1;
}

void DeltaWriter::updateOrConflict(const DeltaRow &original, const DeltaRow &current)
{
    if (!update(original, current))
        conflict(original);
}

void DeltaWriter::removeOrConflict(const DeltaRow &original)
{
    if (!remove(original))
        conflict(original);
}

bool DeltaWriter::exists(const DeltaRow &row)
{
    requireKey(row);
    QStringList terms;
    for (const QString &k : m_table.primaryKey)
        terms << QStringLiteral("%1 = :k%2").arg(k).arg(m_table.indexOf(k));
    QSqlQuery &q = cached(QStringLiteral("SELECT 1 FROM %1 WHERE %2")
                              .arg(m_table.name, terms.join(QStringLiteral(" AND "))));
    for (const QString &k : m_table.primaryKey) {
        const int c = m_table.indexOf(k);
        q.bindValue(QStringLiteral(":k%1").arg(c), row.values[c]);
    }
    m_storage.exec(q, QStringLiteral("ler %1").arg(m_table.name));
    const bool found = q.next();
    q.finish();
    return found;
}

void DeltaWriter::conflict(const DeltaRow &row) const
{
    throw ServerError(QStringLiteral("Operação recusada: outro usuário alterou ou excluiu %1 "
                                     "depois que os dados foram lidos. Nada foi gravado; "
                                     "atualize os dados e repita a operação.")
                          .arg(m_describe(row)),
                      ErrorConflict);
}

} // namespace prx::server
