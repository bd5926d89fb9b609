#include "LocalQuery.h"

#include "HostDatabase.h"
#include "dataset/DataSetError.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <vector>

namespace prx {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Copies text[i] up to and including the closing `quote`; a doubled quote
// stays inside the literal.
qsizetype copyQuoted(const QString &text, qsizetype i, QChar quote, QString *out)
{
    out->append(text.at(i++));
    while (i < text.size()) {
        const QChar c = text.at(i++);
        out->append(c);
        if (c == quote) {
            if (i < text.size() && text.at(i) == quote) {
                out->append(text.at(i++));
                continue;
            }
            break;
        }
    }
    return i;
}

FieldType typeFromDriver(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return FieldType::DateTime;
    case QMetaType::Bool:
        return FieldType::Boolean;
    default:
        return FieldType::String;
    }
}

bool isNullValue(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

[[noreturn]] void badValue(const QString &column, const QVariant &v)
{
    throw DataSetError(
        QStringLiteral("Valor inválido na coluna %1 da consulta: '%2'.").arg(column, v.toString()));
}

void storeCell(ColumnTable &table, int row, int column, const QVariant &v)
{
    if (isNullValue(v))
        return; // rows start null
    const FieldDef &def = table.field(column);
    bool ok = true;
    switch (def.type) {
    case FieldType::String:
        table.setString(row, column, v.toString());
        break;
    case FieldType::Float: {
        const double d = v.toDouble(&ok);
        if (!ok)
            badValue(def.name, v);
        table.setReal(row, column, d);
        break;
    }
    case FieldType::Integer: {
        const qint64 n = v.toLongLong(&ok);
        if (!ok)
            badValue(def.name, v);
        table.setInteger(row, column, n);
        break;
    }
    case FieldType::Boolean:
        table.setBoolean(row, column, v.toBool());
        break;
    case FieldType::DateTime: {
        const QDateTime dt = HostDatabase::readDateTime(v);
        if (!dt.isValid())
            badValue(def.name, v);
        table.setDateTime(row, column, dt);
        break;
    }
    }
}

} // namespace

LocalQuery::LocalQuery(QObject *parent) : ClientDataSet(parent) {}

LocalQuery::Parsed LocalQuery::parse(const QString &text)
{
    Parsed p;
    p.positional.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < n ? text.at(i + 1) : QChar();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            i = copyQuoted(text, i, c, &p.positional);
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            p.positional += QStringView(text).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            p.positional += QStringView(text).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char(':') && next == QLatin1Char(':')) {
            p.positional += QLatin1String("::"); // a type cast, not a parameter
            i += 2;
        } else if (c == QLatin1Char(':') && isNameStart(next)) {
            qsizetype end = i + 1;
            while (end < n && isNameChar(text.at(end)))
                ++end;
            const QString name = text.mid(i + 1, end - i - 1);
            const QString key = name.toUpper();
            p.occurrence.append(key);
            bool known = false;
            for (const QString &existing : std::as_const(p.names))
                known = known || existing.toUpper() == key;
            if (!known)
                p.names.append(name);
            p.positional += QLatin1Char('?');
            i = end;
        } else {
            p.positional += c;
            ++i;
        }
    }
    return p;
}

void LocalQuery::setSql(const QStringList &lines)
{
    m_sql = lines;
    m_parsed = parse(sqlText());
    QHash<QString, QVariant> kept;
    for (const QString &key : std::as_const(m_parsed.occurrence)) {
        if (m_params.contains(key))
            kept.insert(key, m_params.value(key));
    }
    m_params = kept;
}

QStringList LocalQuery::paramNames() const
{
    return m_parsed.names;
}

QString LocalQuery::keyOf(const QString &name) const
{
    QString key = name.trimmed();
    if (key.startsWith(QLatin1Char(':')))
        key.remove(0, 1);
    return key.toUpper();
}

bool LocalQuery::hasParam(const QString &name) const
{
    return m_parsed.occurrence.contains(keyOf(name));
}

void LocalQuery::setParam(const QString &name, const QVariant &value)
{
    if (!hasParam(name))
        throw DataSetError(
            QStringLiteral("Parâmetro '%1' não encontrado na consulta.").arg(keyOf(name)));
    m_params.insert(keyOf(name), value);
}

QVariant LocalQuery::param(const QString &name) const
{
    return m_params.value(keyOf(name));
}

QString LocalQuery::connectionName() const
{
    return m_connection.isEmpty() ? QLatin1String(HostDatabase::ConnectionName) : m_connection;
}

QVariant LocalQuery::bindable(const QVariant &value) const
{
    if (isNullValue(value))
        return QVariant(QMetaType::fromType<QString>());
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return HostDatabase::dateTimeText(value.toDateTime());
    case QMetaType::QDate:
        return HostDatabase::dateTimeText(wallClock(value.toDate()));
    default:
        return value;
    }
}

void LocalQuery::open()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
    if (!db.isValid() || !db.isOpen())
        throw DataSetError(QStringLiteral("A base de dados local não está aberta."));
    if (m_sql.isEmpty())
        throw DataSetError(QStringLiteral("A consulta local não tem comando SQL."));

    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!q.prepare(m_parsed.positional))
        throw DataSetError(QStringLiteral("Erro na consulta local: %1").arg(q.lastError().text()));
    for (const QString &key : std::as_const(m_parsed.occurrence))
        q.addBindValue(bindable(m_params.value(key)));
    if (!q.exec())
        throw DataSetError(QStringLiteral("Erro na consulta local: %1").arg(q.lastError().text()));

    const QSqlRecord record = q.record();
    const int columns = record.count();
    std::vector<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.append(q.value(c));
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid())
        throw DataSetError(QStringLiteral("Erro na consulta local: %1").arg(q.lastError().text()));

    QList<FieldDef> defs;
    for (int c = 0; c < columns; ++c) {
        // Column names in capitals, as the screens name fields, whatever case
        // the database folds unquoted names to.
        const QString name = record.fieldName(c).toUpper();
        const Field *persistent = findField(name);
        if (persistent && !persistent->isCalculated()) {
            defs.append(persistent->def());
            continue;
        }
        FieldDef def{name, typeFromDriver(record.field(c).metaType()), 0};
        if (def.type == FieldType::String) {
            // Date-times kept as text are recognised by their column's name
            // and by every value reading as one.
            bool dates = name.startsWith(QLatin1String("DT"));
            int longest = qMax(0, record.field(c).length());
            for (const QVariantList &row : rows) {
                const QVariant &v = row.at(c);
                if (isNullValue(v))
                    continue;
                dates = dates && HostDatabase::readDateTime(v).isValid();
                longest = qMax(longest, int(v.toString().size()));
            }
            if (dates)
                def.type = FieldType::DateTime;
            else
                def.size = qMax(1, longest);
        }
        defs.append(def);
    }

    ColumnTable table(defs);
    table.reserve(int(rows.size()));
    for (const QVariantList &row : rows) {
        const int r = table.appendRow();
        for (int c = 0; c < columns; ++c)
            storeCell(table, r, c, row.at(c));
    }
    loadPacket(std::move(table));
}

} // namespace prx
