#include "demo/DemoWriter.h"

#include "storage/Schema.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"

namespace prx::server {

DemoWriter::DemoWriter(const Storage &storage, const QDateTime &stamp)
    : m_storage(storage), m_stamp(SqlDialect::bindDateTime(stamp))
{
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

void DemoWriter::insert(const QString &table, const QVariantList &values)
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
    m_storage.exec(s.query, QStringLiteral("gerar dados de demonstração em %1").arg(table));
    ++m_rows;
}

} // namespace prx::server
