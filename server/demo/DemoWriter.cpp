#include "demo/DemoWriter.h"

#include "storage/Schema.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"

#include <algorithm>

namespace prx::server {

namespace {

// Gathered rows of one table go out once they take this much room, so that
// memory stays bounded whatever the demo's size.
constexpr qint64 kCopyBytes = 16 * 1024 * 1024;

QString doingFor(const QString &table)
{
    return QStringLiteral("gerar dados de demonstração em %1").arg(table);
}

} // namespace

DemoWriter::DemoWriter(const Storage &storage, const QDateTime &stamp)
    : m_storage(storage), m_copy(BulkCopy::available(storage)),
      m_stamp(SqlDialect::bindDateTime(stamp))
{
}

void DemoWriter::insert(const QString &table, const QVariantList &values)
{
    if (m_copy)
        insertPostgres(table, values);
    else
        insertSqlite(table, values);
    ++m_rows;
}

DemoWriter::Statement &DemoWriter::statement(const QString &table)
{
    auto it = m_statements.find(table);
    if (it != m_statements.end())
        return it->second;
    const TableDef &def = Schema::table(table);
    QStringList columns, marks;
    for (const ColumnDef &c : def.columns) {
        columns << c.name;
        marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(def.name, columns.join(u", "), marks.join(u", "));
    Statement s{&def, m_storage.prepare(sql), def.indexOf(u"DTULTALT")};
    return m_statements.emplace(table, std::move(s)).first->second;
}

void DemoWriter::insertSqlite(const QString &table, const QVariantList &values)
{
    Statement &s = statement(table);
    const int n = int(s.table->columns.size());
    Q_ASSERT(values.size() == n - (s.stampColumn >= 0 ? 1 : 0));
    int v = 0;
    for (int c = 0; c < n; ++c) {
        if (c == s.stampColumn) {
            s.query.bindValue(c, m_stamp);
            continue;
        }
        const QVariant &value = values[v++];
        const FieldType type = s.table->columns[c].type;
        if (type == FieldType::DateTime)
            s.query.bindValue(c, SqlDialect::bindDateTime(value.toDateTime()));
        else if (!value.isValid())
            s.query.bindValue(c, type == FieldType::Float
                                     ? QVariant(QMetaType::fromType<double>())
                                     : QVariant(QMetaType::fromType<QString>()));
        else
            s.query.bindValue(c, value);
    }
    m_storage.exec(s.query, doingFor(table));
}

DemoWriter::Copy &DemoWriter::copy(const QString &table)
{
    auto it = m_copies.find(table);
    if (it != m_copies.end())
        return it->second;
    const TableDef &def = Schema::table(table);
    const QList<TableDef> &all = Schema::tables();
    const int order = int(std::find_if(all.begin(), all.end(),
                                       [&](const TableDef &t) { return t.name == def.name; }) -
                          all.begin());
    QStringList columns;
    for (const ColumnDef &c : def.columns)
        columns << c.name;
    Copy c{&def, order, def.indexOf(u"DTULTALT"),
           std::make_unique<BulkCopy>(m_storage, def.name, columns, doingFor(table))};
    return m_copies.emplace(table, std::move(c)).first->second;
}

void DemoWriter::insertPostgres(const QString &table, const QVariantList &values)
{
    Copy &c = copy(table);
    BulkCopy &out = *c.rows;
    const int n = int(c.table->columns.size());
    Q_ASSERT(values.size() == n - (c.stampColumn >= 0 ? 1 : 0));
    int v = 0;
    for (int col = 0; col < n; ++col) {
        if (col == c.stampColumn) {
            out.text(m_stamp.toString());
            continue;
        }
        const QVariant &value = values[v++];
        const FieldType type = c.table->columns[col].type;
        if (!value.isValid() || (type == FieldType::DateTime && !value.toDateTime().isValid())) {
            out.null();
            continue;
        }
        switch (type) {
        case FieldType::DateTime:
            out.text(SqlDialect::dateTimeText(value.toDateTime()));
            break;
        case FieldType::Float:
            out.real(value.toDouble());
            break;
        case FieldType::Integer:
        case FieldType::Boolean:
            out.integer(value.toLongLong());
            break;
        case FieldType::String:
            out.text(value.toString());
            break;
        }
    }
    out.endRow();
    if (out.pendingBytes() >= kCopyBytes)
        flushUpTo(c.order);
}

void DemoWriter::flushUpTo(int order)
{
    // A row may reference rows of tables before its own, never after it.
    std::vector<Copy *> due;
    for (auto &[name, c] : m_copies) {
        if (c.order <= order && c.rows->pendingRows() > 0)
            due.push_back(&c);
    }
    std::sort(due.begin(), due.end(),
              [](const Copy *a, const Copy *b) { return a->order < b->order; });
    for (Copy *c : due)
        c->rows->send();
}

void DemoWriter::flush()
{
    flushUpTo(int(Schema::tables().size()));
}

} // namespace prx::server

namespace prx::server {

QStringList DemoWriter::setAsideForeignKeys(const Storage &storage)
{
    if (storage.dialect().isSqlite())
        return {};
    QSqlQuery q = storage.prepare(QStringLiteral(
        "SELECT C.CONRELID::REGCLASS::TEXT, C.CONNAME, PG_GET_CONSTRAINTDEF(C.OID) FROM "
        "PG_CONSTRAINT C WHERE C.CONTYPE = 'f' AND C.CONNAMESPACE = "
        "(SELECT OID FROM PG_NAMESPACE WHERE NSPNAME = CURRENT_SCHEMA())"));
    storage.exec(q, QStringLiteral("ler as chaves estrangeiras"));
    QStringList drops, restores;
    while (q.next()) {
        const QString table = q.value(0).toString(), name = q.value(1).toString();
        drops << QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT \"%2\"").arg(table, name);
        restores << QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT \"%2\" %3")
                        .arg(table, name, q.value(2).toString());
    }
    for (const QString &sql : drops)
        storage.execDirect(sql);
    return restores;
}

void DemoWriter::restoreForeignKeys(const Storage &storage, const QStringList &statements)
{
    for (const QString &sql : statements)
        storage.execDirect(sql);
}

} // namespace prx::server
