// Resulting prices of the differentiated prices, computed again when their
// base prices change; the bulk raise of consumer prices.
//
// Both compute with the routine the screen uses. On SQLite that routine is
// registered as an SQL function, so each change is one set-based statement;
// on PostgreSQL the rows are read, computed here and written back many rows a
// statement.
#include "methods/DayPriceRecompute.h"

#include "money/DayPrice.h"
#include "storage/Storage.h"

#include <QSqlDriver>
#include <QSqlQuery>

#include <sqlite3.h>

#include <optional>

namespace prx::server {

namespace {

const QStringList kItemKeyColumns = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO",
                                     "CDPRPAITABPR"};
const QStringList kDayKeyColumns =
    kItemKeyColumns +
    QStringList{"CDTIPOCONSPD", "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"};
const QStringList kDateKeys = {"DTINIVGPREC", "DTINIVALPREC"};

// PostgreSQL takes this many rows in one statement.
constexpr int kRowsPerStatement = 500;

QString itemJoin()
{
    QStringList terms;
    for (const QString &k : kItemKeyColumns)
        terms << QStringLiteral("I.%1 = D.%1").arg(k);
    return terms.join(QStringLiteral(" AND "));
}

// ------------------------------------------------------------------ SQLite

sqlite3 *nativeSqlite(const Storage &storage)
{
    const QVariant handle = storage.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

std::optional<Decimal> sqlDecimal(sqlite3_value *v)
{
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return std::nullopt;
    return Decimal::fromDouble(sqlite3_value_double(v));
}

QStringView sqlCode(sqlite3_value *v)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
    if (!text || !text[0] || text[1])
        return {};
    return text[0] == 'P'   ? QStringView(u"P")
           : text[0] == 'V' ? QStringView(u"V")
           : text[0] == 'D' ? QStringView(u"D")
           : text[0] == 'A' ? QStringView(u"A")
                            : QStringView();
}

// prx_preco_dia(item price, subsidy, amount, "P"/"V", "D"/"A"): the resulting
// price, or null without an item price or with an unknown code.
void sqlDayPrice(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const std::optional<Decimal> price = sqlDecimal(argv[0]);
    const std::optional<dayprice::Rule> rule =
        dayprice::ruleFromCodes(sqlCode(argv[3]), sqlCode(argv[4]));
    if (!price || !rule) {
        sqlite3_result_null(ctx);
        return;
    }
    const Decimal base = *price + sqlDecimal(argv[1]).value_or(Decimal());
    const Decimal amount = sqlDecimal(argv[2]).value_or(Decimal());
    sqlite3_result_double(ctx, dayprice::priceFor(base, amount, *rule).toDouble());
}

// prx_acima_centavo(value): the value rounded up to the cent.
void sqlRaised(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const std::optional<Decimal> value = sqlDecimal(argv[0]);
    if (!value)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_double(ctx, dayprice::raisedPrice(*value).toDouble());
}

void registerFunctions(const Storage &db)
{
    sqlite3 *h = nativeSqlite(db);
    if (!h)
        throw ServerError(QStringLiteral("Conexão SQLite indisponível para o cálculo de preços."),
                          ErrorInternal);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(h, "prx_preco_dia", 5, flags, nullptr, sqlDayPrice, nullptr,
                                   nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(h, "prx_acima_centavo", 1, flags, nullptr, sqlRaised, nullptr,
                                   nullptr, nullptr) != SQLITE_OK)
        throw ServerError(QStringLiteral("Não foi possível preparar o cálculo de preços."),
                          ErrorInternal);
}

void recomputeOnSqlite(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                       bool raised)
{
    registerFunctions(db);
    const QString general =
        raised ? QStringLiteral("prx_acima_centavo(I.VRCUSTITEM)") : QStringLiteral("I.VRPRECITEM");
    auto price = [](const QString &flag, const QString &itemPrice, const QString &amount) {
        return QStringLiteral("CASE WHEN D.%1 = 'S' THEN prx_preco_dia(%2, I.VRPRECITEMCL, D.%3, "
                              "D.IDPERVALORPR, D.IDDESCACREPR) END")
            .arg(flag, itemPrice, amount);
    };
    runQuery(
        db,
        QStringLiteral("UPDATE ITEMPRECODIA AS D SET PRECO = %1, PRECODLV = %2, PRECOCMD = %3, "
                       "DTULTALT = %4 FROM ITEMPRECO AS I WHERE %5 AND (%6)")
            .arg(price(QStringLiteral("IDTPMODGERAL"), general, QStringLiteral("VRPRECODIA")),
                 price(QStringLiteral("IDTPMODDLV"), QStringLiteral("I.VRPRECITEMDLV"),
                       QStringLiteral("VRPRECODIADLV")),
                 price(QStringLiteral("IDTPMODCMD"), QStringLiteral("I.VRPRECITEMCMD"),
                       QStringLiteral("VRPRECODIACMD")),
                 db.dialect().now(), itemJoin(), itemWhere),
        binds, QStringLiteral("recalcular os preços diferenciados"));
}

// -------------------------------------------------------------- PostgreSQL

std::optional<Decimal> decimalAt(const QSqlQuery &q, int column)
{
    const QVariant v = q.value(column);
    if (v.isNull())
        return std::nullopt;
    return Decimal::fromDouble(v.toDouble());
}

// A price as the text that PostgreSQL reads back as exactly that double.
QVariant priceValue(const std::optional<Decimal> &price)
{
    return price ? QVariant(price->toString()) : QVariant(QMetaType::fromType<QString>());
}

// Sets `columns` (doubles) of the rows named by `keys`, many rows a
// statement. Each row holds the key values (dates as database text) and then
// the new values.
void writeByKey(const Storage &db, const QString &table, const QStringList &keys,
                const QStringList &columns, const QList<QVariantList> &rows)
{
    QStringList sets, terms;
    for (const QString &c : columns)
        sets << QStringLiteral("%1 = CAST(V.%1 AS DOUBLE PRECISION)").arg(c);
    sets << QStringLiteral("DTULTALT = %1").arg(db.dialect().now());
    for (const QString &k : keys) {
        terms << (kDateKeys.contains(k) ? QStringLiteral("D.%1 = CAST(V.%1 AS TIMESTAMP)").arg(k)
                                        : QStringLiteral("D.%1 = V.%1").arg(k));
    }
    const int width = int(keys.size() + columns.size());
    for (qsizetype from = 0; from < rows.size(); from += kRowsPerStatement) {
        const qsizetype count = std::min<qsizetype>(kRowsPerStatement, rows.size() - from);
        QStringList tuples;
        for (qsizetype r = 0; r < count; ++r) {
            QStringList marks;
            for (int c = 0; c < width; ++c)
                marks << QStringLiteral("?");
            tuples << u'(' + marks.join(u',') + u')';
        }
        QSqlQuery q =
            db.prepare(QStringLiteral("UPDATE %1 AS D SET %2 FROM (VALUES %3) AS V(%4) WHERE %5")
                           .arg(table, sets.join(QStringLiteral(", ")), tuples.join(u','),
                                (keys + columns).join(u','), terms.join(QStringLiteral(" AND "))));
        for (qsizetype r = from; r < from + count; ++r) {
            for (const QVariant &v : rows[r])
                q.addBindValue(v);
        }
        db.exec(q, QStringLiteral("gravar os preços recalculados"));
    }
}

void recomputeOnPostgres(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                         bool raised)
{
    const SqlDialect &d = db.dialect();
    QStringList keys;
    for (const QString &k : kDayKeyColumns)
        keys << (kDateKeys.contains(k) ? d.selectDateTime(QStringLiteral("D.") + k)
                                       : QStringLiteral("D.") + k);
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT %1, %2, I.VRPRECITEMDLV, I.VRPRECITEMCMD, I.VRPRECITEMCL, "
                                "D.VRPRECODIA, D.VRPRECODIADLV, D.VRPRECODIACMD, D.IDPERVALORPR, "
                                "D.IDDESCACREPR, D.IDTPMODGERAL, D.IDTPMODDLV, D.IDTPMODCMD "
                                "FROM ITEMPRECODIA D JOIN ITEMPRECO I ON %3 WHERE %4")
                     .arg(keys.join(u','),
                          raised ? QStringLiteral("I.VRCUSTITEM") : QStringLiteral("I.VRPRECITEM"),
                          itemJoin(), itemWhere),
                 binds, QStringLiteral("ler os preços diferenciados a recalcular"));
    const int n = int(kDayKeyColumns.size());
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < n; ++c)
            row << q.value(c);
        const std::optional<dayprice::Rule> rule =
            dayprice::ruleFromCodes(q.value(n + 7).toString(), q.value(n + 8).toString());
        const Decimal subsidy = decimalAt(q, n + 3).value_or(Decimal());
        for (int m = 0; m < 3; ++m) {
            std::optional<Decimal> price = decimalAt(q, n + m);
            if (price && raised && m == 0)
                price = dayprice::raisedPrice(*price);
            const bool active = q.value(n + 9 + m).toString() == u"S";
            std::optional<Decimal> result;
            if (active && price && rule) {
                result = dayprice::priceFor(*price + subsidy,
                                            decimalAt(q, n + 4 + m).value_or(Decimal()), *rule);
            }
            row << priceValue(result);
        }
        rows << row;
    }
    writeByKey(db, QStringLiteral("ITEMPRECODIA"), kDayKeyColumns,
               {QStringLiteral("PRECO"), QStringLiteral("PRECODLV"), QStringLiteral("PRECOCMD")},
               rows);
}

} // namespace

void recomputeDayPrices(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                        bool raised)
{
    if (db.dialect().isSqlite())
        recomputeOnSqlite(db, itemWhere, binds, raised);
    else
        recomputeOnPostgres(db, itemWhere, binds, raised);
}

void recomputeDayPricesOfItem(const Storage &db, const SqlBinds &itemKey)
{
    QStringList terms;
    for (const QString &k : kItemKeyColumns)
        terms << QStringLiteral("I.%1 = :%1").arg(k);
    recomputeDayPrices(db, terms.join(QStringLiteral(" AND ")), itemKey);
}

int raiseToCalculatedPrices(const Storage &db, const QString &branch, const QString &table,
                            const QDateTime &start)
{
    // The items to raise, their columns named with the prefix given.
    auto raising = [](const QString &p) {
        return QStringLiteral("%1CDFILIAL = :branch AND %1CDTABEPREC = :table AND "
                              "%1DTINIVGPREC = :start AND %1VRCUSTITEM IS NOT NULL AND "
                              "%1VRPRECITEM IS NOT NULL AND %1VRCUSTITEM > %1VRPRECITEM")
            .arg(p);
    };
    const QString where = raising(QStringLiteral("I."));
    const SqlBinds binds = {{QStringLiteral(":branch"), branch},
                            {QStringLiteral(":table"), table},
                            {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}};
    // The differentiated prices first, while the items still tell which of
    // them are about to change.
    recomputeDayPrices(db, where, binds, true);
    if (db.dialect().isSqlite()) {
        const QSqlQuery q = runQuery(
            db,
            QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = prx_acima_centavo(VRCUSTITEM), "
                           "DTULTALT = %1 WHERE %2")
                .arg(db.dialect().now(), raising(QString())),
            binds, QStringLiteral("atualizar os preços"));
        return q.numRowsAffected();
    }
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT I.CDFILIAL, I.CDTABEPREC, %1, I.CDPRODUTO, "
                                "I.CDPRPAITABPR, I.VRCUSTITEM FROM ITEMPRECO I WHERE %2")
                     .arg(db.dialect().selectDateTime(QStringLiteral("I.DTINIVGPREC")), where),
                 binds, QStringLiteral("ler os preços a atualizar"));
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < 5; ++c)
            row << q.value(c);
        row << priceValue(dayprice::raisedPrice(*decimalAt(q, 5)));
        rows << row;
    }
    writeByKey(db, QStringLiteral("ITEMPRECO"), kItemKeyColumns, {QStringLiteral("VRPRECITEM")},
               rows);
    return int(rows.size());
}

} // namespace prx::server
