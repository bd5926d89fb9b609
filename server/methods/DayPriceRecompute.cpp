// Resulting prices of the differentiated prices, computed again when their
// base prices change; the bulk raise of consumer prices.
//
// Both compute with the routine the screen uses, as an SQL function: SQLite
// calls this file's routines, PostgreSQL its own functions created with the
// schema (the same cuts on exact decimals), so each change is set-based.
#include "methods/DayPriceRecompute.h"

#include "methods/BulkWriter.h"
#include "methods/CheckText.h"
#include "money/DayPrice.h"
#include "storage/Storage.h"

#include <QSqlQuery>

#include <sqlite3.h>

#include <cmath>
#include <optional>

namespace prx::server {

namespace {

const QStringList kItemKeyColumns = {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO",
                                     "CDPRPAITABPR"};

QString itemJoin()
{
    QStringList terms;
    for (const QString &k : kItemKeyColumns)
        terms << QStringLiteral("I.%1 = D.%1").arg(k);
    return terms.join(QStringLiteral(" AND "));
}

// ------------------------------------------------------------------ SQLite

std::optional<double> sqlReal(sqlite3_value *v)
{
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_value_double(v);
}

std::optional<Decimal> sqlDecimal(sqlite3_value *v)
{
    const std::optional<double> d = sqlReal(v);
    return d ? storedDecimal(*d) : std::nullopt;
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

// SQLite calls these from C: nothing may throw through it.
template <typename F> void guarded(sqlite3_context *ctx, F &&f)
{
    try {
        f();
    } catch (const std::exception &e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

std::optional<Decimal> sqlDayPriceOf(sqlite3_value **argv)
{
    return storedDayPrice(sqlReal(argv[0]), sqlReal(argv[1]), sqlReal(argv[2]), sqlCode(argv[3]),
                          sqlCode(argv[4]));
}

void sqlDayPrice(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const std::optional<Decimal> price = sqlDayPriceOf(argv);
        if (price)
            sqlite3_result_double(ctx, price->toDouble());
        else
            sqlite3_result_null(ctx);
    });
}

void sqlRaised(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const std::optional<Decimal> value = sqlDecimal(argv[0]);
        if (!value)
            sqlite3_result_null(ctx);
        else
            sqlite3_result_double(ctx, dayprice::raisedPrice(*value).toDouble());
    });
}

void sqlAccepted(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const std::optional<Decimal> price = sqlDecimal(argv[0]);
        const std::optional<Decimal> item = sqlDecimal(argv[1]);
        const std::optional<Decimal> subsidy =
            sqlite3_value_type(argv[2]) == SQLITE_NULL ? Decimal() : sqlDecimal(argv[2]);
        sqlite3_result_int(ctx, price && item && subsidy &&
                                    dayPriceAcceptable(*price, *item + *subsidy));
    });
}

void sqlAgrees(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const std::optional<Decimal> price = sqlDecimal(argv[0]);
        const std::optional<Decimal> expected = sqlDayPriceOf(argv + 1);
        sqlite3_result_int(ctx, price && expected && *price == *expected);
    });
}

void sqlNotCents(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    sqlite3_int64 bits = 0;
    for (int i = 0; i < argc && i < 62; ++i) {
        const std::optional<double> v = sqlReal(argv[i]);
        if (v && !storedCents(*v))
            bits |= sqlite3_int64(1) << i;
    }
    sqlite3_result_int64(ctx, bits);
}

// ------------------------------------------------------------ the refusal

// A differentiated price the recomputation would leave without an
// acceptable price.
struct Breach
{
    QString product;
    DayRuleText rule;
    int modality = 0;
    std::optional<double> itemPrice, subsidy, amount;
};

std::optional<double> optionalReal(bool isNull, double value)
{
    return isNull ? std::nullopt : std::optional<double>(value);
}

// Refuses the whole base change, naming the product, the rule and why.
[[noreturn]] void refuse(const Storage &db, const Breach &b, qint64 count)
{
    const std::optional<Decimal> price = storedDayPrice(
        b.itemPrice, b.subsidy, b.amount, b.rule.percentOrValue, b.rule.discountOrIncrease);
    const QString modality = modalityText(b.modality);
    QString why;
    if (!b.itemPrice) {
        why = QStringLiteral("ficaria sem o preço %1 do produto, sobre o qual é calculado")
                  .arg(modality);
    } else if (!price) {
        why = QStringLiteral("não teria preço calculável");
    } else {
        const Decimal base =
            *storedDecimal(*b.itemPrice) + storedDecimal(b.subsidy.value_or(0)).value_or(Decimal());
        why = QStringLiteral("ficaria com preço %1 sobre a base %2; o preço diferenciado deve ser "
                             "maior que zero e menor que o dobro do preço do produto")
                  .arg(storedValueText(price->toDouble()), storedValueText(base.toDouble()));
    }
    QString message =
        QStringLiteral("Operação recusada: com o novo preço do produto %1, o preço diferenciado "
                       "(%2, modalidade %3) %4. Altere ou exclua o preço diferenciado antes de "
                       "alterar o preço do produto.")
            .arg(productText(db, b.product), dayRuleText(b.rule, b.amount), modality, why);
    if (count > 1) {
        message += QStringLiteral(" Há mais %1 preço(s) diferenciado(s) na mesma situação.")
                       .arg(count - 1);
    }
    throw ServerError(message);
}

// The modalities of a differentiated price: flag, amount and resulting
// price columns of ITEMPRECODIA (alias D), item price column (alias I).
struct ModalityColumns
{
    const char *flag, *amount, *price, *itemPrice;
};
constexpr ModalityColumns kModalities[] = {
    {"IDTPMODGERAL", "VRPRECODIA", "PRECO", "VRPRECITEM"},
    {"IDTPMODDLV", "VRPRECODIADLV", "PRECODLV", "VRPRECITEMDLV"},
    {"IDTPMODCMD", "VRPRECODIACMD", "PRECOCMD", "VRPRECITEMCMD"},
};

// The SET terms computing the three resulting prices from the amounts and
// `itemPrices` (general, delivery, counter), and the condition true where one
// of them breaks its limits, over the columns named by `price` (new resulting
// prices), `flag` and `base` (the item prices) and the subsidy column.
QString recomputeSets(const QString itemPrices[3])
{
    QStringList sets;
    for (int m = 0; m < 3; ++m) {
        const ModalityColumns &c = kModalities[m];
        sets << QStringLiteral("%1 = CASE WHEN D.%2 = 'S' THEN prx_preco_dia(%3, I.VRPRECITEMCL, "
                               "D.%4, D.IDPERVALORPR, D.IDDESCACREPR) END")
                    .arg(QLatin1String(c.price), QLatin1String(c.flag), itemPrices[m],
                         QLatin1String(c.amount));
    }
    return sets.join(QStringLiteral(", "));
}

template <typename Column> QString breaks(Column column, const QString &subsidy)
{
    QStringList terms;
    for (int m = 0; m < 3; ++m) {
        terms << QStringLiteral("(%1 = 'S' AND prx_preco_aceito(%2, %3, %4) = 0)")
                     .arg(column(m, 0), column(m, 1), column(m, 2), subsidy);
    }
    return terms.join(QStringLiteral(" OR "));
}

// The columns of the first breach found, in the order readBreach takes them.
QStringList breachColumns(const QString &d, const QString &i, const QString itemPrices[3])
{
    QStringList columns;
    for (const char *c : {"CDPRODUTO", "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA",
                          "CDTIPOCONSPD", "IDPERVALORPR", "IDDESCACREPR"})
        columns << d + QLatin1String(c);
    columns << i + QStringLiteral("VRPRECITEMCL") << itemPrices[0] << itemPrices[1]
            << itemPrices[2];
    for (int part = 0; part < 3; ++part) {
        for (const ModalityColumns &c : kModalities)
            columns << d + QLatin1String(part == 0 ? c.amount : part == 1 ? c.flag : c.price);
    }
    return columns;
}

// Refuses with the breach a query row holds (breachColumns, then the count
// of breaches).
[[noreturn]] void refuseRow(const Storage &db, QSqlQuery &q)
{
    Breach b;
    b.product = q.value(0).toString();
    b.rule = {q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
              q.value(4).toString(), q.value(5).toString(), q.value(6).toString()};
    b.subsidy = optionalReal(q.isNull(7), q.value(7).toDouble());
    for (int m = 0; m < 3; ++m) {
        if (q.value(14 + m).toString() != u"S")
            continue;
        const std::optional<double> price =
            optionalReal(q.isNull(17 + m), q.value(17 + m).toDouble());
        const std::optional<double> item = optionalReal(q.isNull(8 + m), q.value(8 + m).toDouble());
        const std::optional<Decimal> p = price ? storedDecimal(*price) : std::nullopt;
        const std::optional<Decimal> i = item ? storedDecimal(*item) : std::nullopt;
        const std::optional<Decimal> s = storedDecimal(b.subsidy.value_or(0));
        if (p && i && s && dayPriceAcceptable(*p, *i + *s))
            continue;
        b.modality = m;
        b.itemPrice = item;
        b.amount = optionalReal(q.isNull(11 + m), q.value(11 + m).toDouble());
        break;
    }
    const qint64 count = q.value(20).toLongLong();
    q.finish();
    refuse(db, b, count);
}

void recomputeOnSqlite(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                       bool raised)
{
    registerPriceFunctions(db);
    const QString itemPrices[] = {
        raised ? QStringLiteral("prx_acima_centavo(I.VRCUSTITEM)") : QStringLiteral("I.VRPRECITEM"),
        QStringLiteral("I.VRPRECITEMDLV"), QStringLiteral("I.VRPRECITEMCMD")};
    runQuery(db,
             QStringLiteral("UPDATE ITEMPRECODIA AS D SET %1, DTULTALT = %2 FROM ITEMPRECO AS I "
                            "WHERE %3 AND (%4)")
                 .arg(recomputeSets(itemPrices), db.dialect().now(), itemJoin(), itemWhere),
             binds, QStringLiteral("recalcular os preços diferenciados"));

    // One pass over the rows just written: the first that broke, and how many.
    auto column = [&](int m, int part) {
        return part == 0   ? QStringLiteral("D.") + QLatin1String(kModalities[m].flag)
               : part == 1 ? QStringLiteral("D.") + QLatin1String(kModalities[m].price)
                           : itemPrices[m];
    };
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT %1, COUNT(*) OVER () FROM ITEMPRECODIA D JOIN ITEMPRECO I ON %2 "
                       "WHERE (%3) AND (%4) ORDER BY D.CDPRODUTO, D.NRDIASEMANPR, "
                       "D.HRINIPRECDIA LIMIT 1")
            .arg(breachColumns(QStringLiteral("D."), QStringLiteral("I."), itemPrices).join(u','),
                 itemJoin(), itemWhere, breaks(column, QStringLiteral("I.VRPRECITEMCL"))),
        binds, QStringLiteral("verificar os preços diferenciados recalculados"));
    if (q.next())
        refuseRow(db, q);
}

// -------------------------------------------------------------- PostgreSQL

// One statement: the update, and from the rows it wrote (their new values,
// as RETURNING gives them) the first that broke and how many, so the check
// reads nothing twice. The raised general price is computed once per item in
// a subquery the planner keeps apart, so the price function is still written
// into the statement rather than called per row.
void recomputeOnPostgres(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                         bool raised)
{
    const QString itemPrices[] = {
        raised ? QStringLiteral("I.PRX_ACIMA") : QStringLiteral("I.VRPRECITEM"),
        QStringLiteral("I.VRPRECITEMDLV"), QStringLiteral("I.VRPRECITEMCMD")};
    // Only the items that have differentiated prices get the raised price
    // computed: a bulk raise touches most items of a period, few of which
    // have any, and the price function is the costly part of the scan.
    const QString items =
        raised ? QStringLiteral("(SELECT I.*, prx_acima_centavo(I.VRCUSTITEM) AS PRX_ACIMA FROM "
                                "ITEMPRECO AS I WHERE %1 AND EXISTS (SELECT 1 FROM ITEMPRECODIA "
                                "AS D WHERE %2) OFFSET 0) AS I")
                     .arg(itemWhere, itemJoin())
               : QStringLiteral("ITEMPRECO AS I");
    const QStringList returned =
        breachColumns(QStringLiteral("D."), QStringLiteral("I."), itemPrices);
    QStringList named;
    for (qsizetype c = 0; c < returned.size(); ++c)
        named << QStringLiteral("%1 AS R%2").arg(returned[c]).arg(c);
    auto column = [](int m, int part) {
        return QStringLiteral("R%1").arg(part == 0 ? 14 + m : part == 1 ? 17 + m : 8 + m);
    };
    QStringList outer;
    for (qsizetype c = 0; c < returned.size(); ++c)
        outer << QStringLiteral("R%1").arg(c);
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("WITH W AS (UPDATE ITEMPRECODIA AS D SET %1, DTULTALT = %2 FROM %3 "
                       "WHERE %4 AND (%5) RETURNING %6) "
                       "SELECT %7, COUNT(*) OVER () FROM W WHERE %8 ORDER BY R0, R1, R2 LIMIT 1")
            .arg(recomputeSets(itemPrices), db.dialect().now(), items, itemJoin(),
                 raised ? QStringLiteral("TRUE") : itemWhere, named.join(u','), outer.join(u','),
                 breaks(column, QStringLiteral("R7"))),
        binds, QStringLiteral("recalcular os preços diferenciados"));
    if (q.next())
        refuseRow(db, q);
}

} // namespace

namespace {

// Below this magnitude a double times 100 rounds to the integer of its
// cents, and that integer over 100 rounds back to the double exactly when the
// double is the one a two-decimal value gives: the common case, read without
// going through text.
constexpr double kCentsFastPath = 1e13;

std::optional<qint64> exactCents(double value)
{
    if (!(std::fabs(value) < kCentsFastPath))
        return std::nullopt;
    const double cents = std::nearbyint(value * 100.0);
    if (cents / 100.0 != value)
        return std::nullopt;
    return qint64(cents);
}

} // namespace

std::optional<Decimal> storedDecimal(double value)
{
    if (const std::optional<qint64> cents = exactCents(value))
        return Decimal::fromUnits(Decimal::Units(*cents) * (Decimal::kOne / 100));
    // Far past the price limit a value is only ever reported, never computed
    // with; below it every product the price routine forms fits.
    constexpr double kLargest = 1e18;
    if (!std::isfinite(value) || std::fabs(value) >= kLargest)
        return std::nullopt;
    return Decimal::fromDouble(value);
}

bool storedCents(double value)
{
    return exactCents(value) || isCents(value);
}

std::optional<Decimal> storedDayPrice(std::optional<double> itemPrice,
                                      std::optional<double> subsidy, std::optional<double> amount,
                                      QStringView percentOrValue, QStringView discountOrIncrease)
{
    const std::optional<dayprice::Rule> rule =
        dayprice::ruleFromCodes(percentOrValue, discountOrIncrease);
    if (!itemPrice || !rule)
        return std::nullopt;
    const std::optional<Decimal> price = storedDecimal(*itemPrice);
    const std::optional<Decimal> sub = storedDecimal(subsidy.value_or(0));
    const std::optional<Decimal> change = storedDecimal(amount.value_or(0));
    if (!price || !sub || !change || price->abs() >= kPriceLimit || sub->abs() >= kPriceLimit ||
        change->abs() >= kPriceLimit)
        return std::nullopt;
    try {
        return dayprice::priceFor(*price + *sub, *change, *rule);
    } catch (const std::exception &) {
        return std::nullopt; // past what the routine holds exactly
    }
}

bool dayPriceAcceptable(Decimal price, Decimal base)
{
    return dayprice::priceWithinLimits(price, base) && price < kPriceLimit;
}

void registerPriceFunctions(const Storage &db)
{
    sqlite3 *h = nativeSqliteHandle(db);
    if (!db.dialect().isSqlite())
        return;
    if (!h)
        throw ServerError(QStringLiteral("Conexão SQLite indisponível para o cálculo de preços."),
                          ErrorInternal);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    struct Function
    {
        const char *name;
        int arguments;
        void (*call)(sqlite3_context *, int, sqlite3_value **);
    };
    static constexpr Function functions[] = {
        {"prx_preco_dia", 5, sqlDayPrice},      {"prx_acima_centavo", 1, sqlRaised},
        {"prx_preco_aceito", 3, sqlAccepted},   {"prx_preco_confere", 6, sqlAgrees},
        {"prx_fora_centavos", -1, sqlNotCents},
    };
    for (const Function &f : functions) {
        if (sqlite3_create_function_v2(h, f.name, f.arguments, flags, nullptr, f.call, nullptr,
                                       nullptr, nullptr) != SQLITE_OK)
            throw ServerError(QStringLiteral("Não foi possível preparar o cálculo de preços."),
                              ErrorInternal);
    }
}

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
    registerPriceFunctions(db);
    const QSqlQuery q =
        runQuery(db,
                 QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = prx_acima_centavo(VRCUSTITEM), "
                                "DTULTALT = %1 WHERE %2")
                     .arg(db.dialect().now(), raising(QString())),
                 binds, QStringLiteral("atualizar os preços"));
    return q.numRowsAffected();
}

} // namespace prx::server
