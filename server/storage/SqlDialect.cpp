#include "storage/SqlDialect.h"

namespace prx::server {

QString SqlDialect::columnType(const ColumnDef &column) const
{
    switch (column.type) {
    case FieldType::String:
        return QStringLiteral("VARCHAR(%1)").arg(column.size);
    case FieldType::Float:
        return QStringLiteral("DOUBLE PRECISION");
    case FieldType::DateTime:
        return isSqlite() ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMP(0)");
    case FieldType::Integer:
    case FieldType::Boolean:
        return isSqlite() ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT");
    }
    return {};
}

QStringList SqlDialect::createTable(const TableDef &table) const
{
    QStringList parts;
    for (const ColumnDef &c : table.columns) {
        QString line = c.name + u' ' + columnType(c);
        if (c.notNull)
            line += QStringLiteral(" NOT NULL");
        parts << line;
    }
    if (!table.primaryKey.isEmpty())
        parts << QStringLiteral("PRIMARY KEY (%1)").arg(table.primaryKey.join(u", "));
    for (const ForeignKeyDef &fk : table.foreignKeys) {
        parts << QStringLiteral("FOREIGN KEY (%1) REFERENCES %2 (%3)")
                     .arg(fk.columns.join(u", "), fk.refTable, fk.refColumns.join(u", "));
    }
    QString create = QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (\n    %2\n)")
                         .arg(table.name, parts.join(QStringLiteral(",\n    ")));
    // Clustering the rows by their key makes the lookups of the composite
    // keys (price items by period and product) one b-tree walk.
    if (isSqlite() && !table.primaryKey.isEmpty())
        create += QStringLiteral(" WITHOUT ROWID");

    QStringList statements{create};
    for (const IndexDef &ix : table.indexes) {
        statements << QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
                          .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), ix.name,
                               table.name, ix.columns.join(u", "));
    }
    return statements;
}

QStringList SqlDialect::plannerStatistics() const
{
    if (isSqlite())
        return {};
    // Leaf products are chosen by the length of their tree code. Without
    // statistics on that length PostgreSQL guesses a few hundred of 100,000
    // products and joins their costs, rates and prices one lookup at a time.
    return {QStringLiteral("CREATE STATISTICS IF NOT EXISTS STPRODUTONIVEL ON "
                           "(LENGTH(CDARVPROD)) FROM PRODUTO")};
}

QStringList SqlDialect::priceFunctions() const
{
    if (isSqlite())
        return {};
    // A stored double reads as the shortest text that gives it back (what was
    // typed), rounded half away from zero to six places; far past the price
    // limit, or not finite, it is no value at all. Every function below is a
    // single expression, so the planner writes it into the calling statement
    // instead of calling it once per row.
    const QString limit = QStringLiteral("999999999999999");
    auto value = [](const QString &v) { return QStringLiteral("prx_decimal(%1)").arg(v); };
    auto zeroIfNull = [&](const QString &v) {
        return value(QStringLiteral("COALESCE(%1, 0)").arg(v));
    };
    const QString base = QStringLiteral("(%1 + %2)").arg(value("p_item"), zeroIfNull("p_sub"));
    const QString amount = zeroIfNull("p_amount");
    // A percentage change is cut to cents before it is applied (base × amount
    // ÷ 100, cut: the integer part of the product, in hundredths), the result
    // cut again; a fixed amount is applied as it is.
    const QString change = QStringLiteral("(trunc(%1 * %2) * 0.01)").arg(base, amount);
    const QString dayPrice =
        QStringLiteral(
            "CASE WHEN p_pv IN ('P', 'V') AND p_da IN ('D', 'A') AND abs(%1) < %5 AND "
            "abs(%2) < %5 AND abs(%3) < %5 AND abs(%4) < %5 THEN CAST(CASE WHEN p_pv = 'V' THEN "
            "CASE WHEN p_da = 'D' THEN %4 - %3 ELSE %4 + %3 END ELSE trunc(CASE WHEN p_da = 'D' "
            "THEN %4 - %6 ELSE %4 + %6 END, 2) END AS DOUBLE PRECISION) END")
            .arg(value("p_item"), zeroIfNull("p_sub"), amount, base, limit, change);
    const QString accepted =
        QStringLiteral("CASE WHEN %1 > 0 AND %2 > 0 AND %1 - %2 < %2 AND %1 < %3 THEN 1 ELSE 0 END")
            .arg(value("p_price"), base, limit);
    const QString function = QStringLiteral(
        "CREATE OR REPLACE FUNCTION %1(%2) RETURNS %3 LANGUAGE sql IMMUTABLE PARALLEL SAFE AS "
        "$f$ SELECT %4 $f$");
    const QString real = QStringLiteral("DOUBLE PRECISION");
    return {
        function.arg("prx_decimal", "p_value DOUBLE PRECISION", "NUMERIC",
                     "CASE WHEN p_value > -1e18 AND p_value < 1e18 THEN "
                     "round(CAST(CAST(p_value AS TEXT) AS NUMERIC), 6) END"),
        function.arg("prx_preco_dia",
                     "p_item DOUBLE PRECISION, p_sub DOUBLE PRECISION, "
                     "p_amount DOUBLE PRECISION, p_pv TEXT, p_da TEXT",
                     real, dayPrice),
        function.arg("prx_acima_centavo", "p_value DOUBLE PRECISION", real,
                     QStringLiteral("CAST(ceil(%1 * 100) * 0.01 AS DOUBLE PRECISION)")
                         .arg(value("p_value"))),
        function.arg("prx_preco_aceito",
                     "p_price DOUBLE PRECISION, p_item DOUBLE PRECISION, p_sub DOUBLE PRECISION",
                     "INTEGER", accepted),
    };
}

QStringList SqlDialect::sessionSetup() const
{
    if (isSqlite()) {
        return {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA foreign_keys=ON"),
                QStringLiteral("PRAGMA synchronous=NORMAL")};
    }
    // Doubles travel as the shortest text that reads back as the same
    // double, whatever the server's default: the price functions read
    // stored values through that text.
    // No JIT: the history written from transition tables (which have no
    // statistics) is estimated far above its size, and compiling it cost
    // more than running it; no statement of ours runs long enough to repay.
    return {QStringLiteral("SET client_min_messages TO WARNING"),
            QStringLiteral("SET extra_float_digits TO 1"), QStringLiteral("SET jit TO off")};
}

QString SqlDialect::beginTransaction() const
{
    // SQLite takes the write lock at once, so two saves never both read under
    // a shared lock and then fail to upgrade it.
    return isSqlite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

QString SqlDialect::nullSafeEqual(const QString &column, const QString &param) const
{
    if (isSqlite())
        return QStringLiteral("%1 IS %2").arg(column, param);
    return QStringLiteral("%1 IS NOT DISTINCT FROM %2").arg(column, param);
}

namespace {
QString placeholders(const QStringList &columns)
{
    QStringList p;
    p.reserve(columns.size());
    for (const QString &c : columns)
        p << u':' + c;
    return p.join(u", ");
}
} // namespace

QString SqlDialect::insertUnlessExists(const QString &table, const QStringList &columns) const
{
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT DO NOTHING")
        .arg(table, columns.join(u", "), placeholders(columns));
}

QString SqlDialect::upsert(const QString &table, const QStringList &columns,
                           const QStringList &key) const
{
    QStringList sets;
    for (const QString &c : columns) {
        if (!key.contains(c))
            sets << QStringLiteral("%1 = excluded.%1").arg(c);
    }
    const QString action = sets.isEmpty() ? QStringLiteral("NOTHING")
                                          : QStringLiteral("UPDATE SET ") + sets.join(u", ");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO %5")
        .arg(table, columns.join(u", "), placeholders(columns), key.join(u", "), action);
}

QString SqlDialect::now() const
{
    if (isSqlite())
        return QStringLiteral("datetime('now', 'localtime')");
    return QStringLiteral("LOCALTIMESTAMP(0)");
}

QString SqlDialect::selectDateTime(const QString &expression) const
{
    if (isSqlite())
        return expression;
    return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(expression);
}

QString SqlDialect::typedParam(const QString &param, FieldType type) const
{
    if (isSqlite())
        return param;
    const ColumnDef column{QString(), type, type == FieldType::String ? 40 : 0, false};
    return QStringLiteral("CAST(%1 AS %2)").arg(param, columnType(column));
}

QString SqlDialect::addDays(const QString &expression, const QString &daysParam) const
{
    if (isSqlite())
        return QStringLiteral("datetime(%1, %2 || ' days')").arg(expression, daysParam);
    return QStringLiteral("(%1 + CAST(%2 AS INTEGER) * INTERVAL '1 day')")
        .arg(expression, daysParam);
}

QString SqlDialect::dateTimeText(const QDateTime &value)
{
    return value.date().toString(u"yyyy-MM-dd") + u' ' + value.time().toString(u"HH:mm:ss");
}

QVariant SqlDialect::bindDateTime(const QDateTime &value)
{
    if (!value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return dateTimeText(value);
}

namespace {
// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool digits(QStringView text, int from, int count, int *out)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *out = v;
    return true;
}
} // namespace

bool SqlDialect::parseDateTimeText(QStringView text, qint64 *ms)
{
    // The hot path of every packet with dates; QDateTime::fromString costs
    // about twenty times as much.
    if (text.size() < 10)
        return false;
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (!digits(text, 0, 4, &y) || text[4] != u'-' || !digits(text, 5, 2, &mo) || text[7] != u'-' ||
        !digits(text, 8, 2, &d))
        return false;
    if (text.size() >= 19) {
        if ((text[10] != u' ' && text[10] != u'T') || !digits(text, 11, 2, &h) ||
            text[13] != u':' || !digits(text, 14, 2, &mi) || text[16] != u':' ||
            !digits(text, 17, 2, &s))
            return false;
    } else if (text.size() != 10) {
        return false;
    }
    if (!QDate::isValid(y, mo, d) || h > 23 || mi > 59 || s > 59)
        return false;
    *ms = (daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s) * 1000;
    return true;
}

QDateTime SqlDialect::dateTimeFromText(QStringView text)
{
    qint64 ms = 0;
    if (!parseDateTimeText(text, &ms))
        return {};
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace prx::server
