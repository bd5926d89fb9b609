#include "methods/PriceSetCopy.h"

#include "methods/CheckText.h"
#include "storage/Storage.h"

namespace prx::server {

namespace {

const QString kPresentTable = QStringLiteral("PRXCOPIAPRESENTES");

// The period columns of a target row; every other column is the source's,
// but the time of the change.
QString targetColumn(const QString &column, SqlParams &p, const SqlDialect &d,
                     const PriceSetCopy::Side &target)
{
    if (column == u"CDFILIAL")
        return d.typedParam(p.add(target.branch), FieldType::String);
    if (column == u"CDTABEPREC")
        return d.typedParam(p.add(target.table), FieldType::String);
    if (column == u"DTINIVGPREC")
        return d.typedParam(p.addDateTime(target.period.start), FieldType::DateTime);
    if (column == u"DTULTALT")
        return d.now();
    return QStringLiteral("S.") + column;
}

// The rows of a period; columns qualified by `alias` when one is given.
QString periodOf(const QString &alias, SqlParams &p, const PriceSetCopy::Side &side)
{
    const QString a = alias.isEmpty() ? QString() : alias + u'.';
    return QStringLiteral("%1CDFILIAL = %2 AND %1CDTABEPREC = %3 AND %1DTINIVGPREC = %4")
        .arg(a, p.add(side.branch), p.add(side.table), p.addDateTime(side.period.start));
}

} // namespace

// PostgreSQL turns the segment test into a join that hashes the segment's
// whole product list (a scan of every segment's rows, tens of milliseconds
// per statement) even when the period holds a few thousand rows, where a key
// lookup per row costs a fraction: its price of random reads keeps it from
// choosing the lookups itself. An OFFSET inside EXISTS keeps the test a
// lookup per row; past this many source rows the hash is the cheaper one.
constexpr int kLookupRows = 20000;

bool PriceSetCopy::lookupPerRow(const Side &source) const
{
    if (m_db.dialect().isSqlite())
        return false;
    SqlParams p;
    return !queryHasRows(m_db,
                         QStringLiteral("SELECT 1 FROM ITEMPRECO S WHERE %1 OFFSET %2")
                             .arg(periodOf(QStringLiteral("S"), p, source))
                             .arg(kLookupRows),
                         p.binds());
}

QString PriceSetCopy::productFilter(const QString &alias, const QString &segmentParam,
                                    bool perRow) const
{
    QString filter =
        QStringLiteral("EXISTS (SELECT 1 FROM PRODSEGMER G WHERE G.CDSEGMER = %2 "
                       "AND G.CDPRODUTO = %1.CDPRPAITABPR%3)")
            .arg(alias, segmentParam, perRow ? QStringLiteral(" OFFSET 0") : QString());
    if (!m_options.keyTable.isEmpty()) {
        filter += QStringLiteral(" AND %1.CDPRPAITABPR IN (SELECT K.CDCHAVE FROM %2 K)")
                      .arg(alias, m_options.keyTable);
    }
    return filter;
}

// Covers the whole source period (an end-less source period: starts by its
// start and has no end either).
static QString spansSource(SqlParams &p, const PriceSetCopy::Side &source, const SqlDialect &d)
{
    const QString start = d.typedParam(p.addDateTime(source.period.start), FieldType::DateTime);
    if (!source.period.end.isValid())
        return QStringLiteral("(S.DTINIVALPREC <= %1 AND S.DTFINVALPREC IS NULL)").arg(start);
    return QStringLiteral("(S.DTINIVALPREC <= %1 AND (S.DTFINVALPREC IS NULL OR "
                          "S.DTFINVALPREC >= %2))")
        .arg(start, d.typedParam(p.addDateTime(source.period.end), FieldType::DateTime));
}

static QString dateParam(SqlParams &p, const SqlDialect &d, const QDateTime &value)
{
    return d.typedParam(p.addDateTime(value), FieldType::DateTime);
}

// The source row's date as it lands in the target, before the cut.
QString PriceSetCopy::moved(SqlParams &p, const QString &column, const Side &source,
                            const Side &target) const
{
    const qint64 days = source.period.start.daysTo(target.period.start);
    if (!m_options.moveValidity || days == 0)
        return QStringLiteral("S.") + column;
    return m_db.dialect().addDays(QStringLiteral("S.") + column, p.add(days));
}

QString PriceSetCopy::validityStart(SqlParams &p, const Side &source, const Side &target) const
{
    const SqlDialect &d = m_db.dialect();
    const QString spans = spansSource(p, source, d);
    const QString from = moved(p, QStringLiteral("DTINIVALPREC"), source, target);
    const QString from2 = moved(p, QStringLiteral("DTINIVALPREC"), source, target);
    return QStringLiteral("CASE WHEN %1 THEN %2 WHEN %3 < %4 THEN %5 ELSE %6 END")
        .arg(spans, dateParam(p, d, target.period.start), from,
             dateParam(p, d, target.period.start), dateParam(p, d, target.period.start), from2);
}

QString PriceSetCopy::validityEnd(SqlParams &p, const Side &source, const Side &target) const
{
    const SqlDialect &d = m_db.dialect();
    const QString spans = spansSource(p, source, d);
    const QString to = moved(p, QStringLiteral("DTFINVALPREC"), source, target);
    const QString to2 = moved(p, QStringLiteral("DTFINVALPREC"), source, target);
    // An end-less target period leaves the validity end as it comes.
    if (!target.period.end.isValid())
        return QStringLiteral("CASE WHEN %1 THEN NULL ELSE %2 END").arg(spans, to);
    // An open validity end closes with the period, where it stopped anyway.
    return QStringLiteral("CASE WHEN %1 THEN %2 WHEN S.DTFINVALPREC IS NULL THEN %3 "
                          "WHEN %4 > %5 THEN %6 ELSE %7 END")
        .arg(spans, dateParam(p, d, target.period.end), dateParam(p, d, target.period.end), to,
             dateParam(p, d, target.period.end), dateParam(p, d, target.period.end), to2);
}

// The rows that reach the target: any that cover the whole source period,
// the others when they overlap the target period once moved. A row whose
// start lies after its end is nowhere.
QString PriceSetCopy::validityKept(SqlParams &p, const Side &source, const Side &target) const
{
    const SqlDialect &d = m_db.dialect();
    const QString spans = spansSource(p, source, d);
    QString overlap = QStringLiteral("(S.DTFINVALPREC IS NULL OR (S.DTINIVALPREC <= "
                                     "S.DTFINVALPREC AND %1 >= %2))")
                          .arg(moved(p, QStringLiteral("DTFINVALPREC"), source, target),
                               dateParam(p, d, target.period.start));
    if (target.period.end.isValid()) {
        overlap += QStringLiteral(" AND %1 <= %2")
                       .arg(moved(p, QStringLiteral("DTINIVALPREC"), source, target),
                            dateParam(p, d, target.period.end));
    }
    return QStringLiteral("(%1 OR (%2))").arg(spans, overlap);
}

void PriceSetCopy::run(const QString &sql, const SqlParams &params, const QString &doing) const
{
    runQuery(m_db, sql, params.binds(), doing);
}

QString PriceSetCopy::copiedRows(SqlParams &p, const Side &source, const Target &target,
                                 bool perRow) const
{
    QString where = periodOf(QStringLiteral("S"), p, source) + QStringLiteral(" AND ") +
                    productFilter(QStringLiteral("S"), p.add(target.segment), perRow);
    if (!m_options.overwrite) {
        where += QStringLiteral(" AND S.CDPRPAITABPR NOT IN (SELECT H.CDPRPAITABPR FROM "
                                "ITEMPRECO H WHERE %1)")
                     .arg(periodOf(QStringLiteral("H"), p, target.side));
    }
    return where;
}

// The products' own rows are what approval looks at; the period's state is
// read here, inside the transaction, not taken from the caller.
void PriceSetCopy::checkTaxRates(const Side &source, const Target &target, bool perRow) const
{
    // Read first: another statement on this connection while the answer is
    // being read would lose the rest of it (PostgreSQL).
    const QList<int> digits = treeLevelDigits(m_db);
    SqlParams p;
    const Side &to = target.side;
    const QString where = copiedRows(p, source, target, perRow);
    QSqlQuery q = runQuery(
        m_db,
        QStringLiteral("SELECT DISTINCT P.CDARVPROD, S.CDPRODUTO FROM ITEMPRECO S LEFT JOIN "
                       "PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO WHERE %1 AND "
                       "S.CDPRODUTO = S.CDPRPAITABPR AND NOT EXISTS (SELECT 1 FROM ALIQPROD A "
                       "WHERE A.CDFILIAL = %2 AND A.CDPRODUTO = S.CDPRODUTO) AND EXISTS "
                       "(SELECT 1 FROM TABEVEND V WHERE %3 AND V.IDSITVGPREC = '4') "
                       "ORDER BY P.CDARVPROD, S.CDPRODUTO")
            .arg(where, p.add(to.branch), periodOf(QStringLiteral("V"), p, to)),
        p.binds(), QStringLiteral("verificar as alíquotas dos produtos"));
    const QStringList products = maskedProducts(q, digits);
    if (products.isEmpty())
        return;
    const QString list = shortList(products);
    const bool one = products.size() == 1;
    throw ServerError(
        QStringLiteral("Operação bloqueada. A vigência de destino %1 da tabela %2 da filial %3 "
                       "está aprovada e %4 %5 não %6 alíquota na filial %3. Nada foi %7.")
            .arg(periodText(to.period), to.table, to.branch,
                 one ? QStringLiteral("o produto") : QStringLiteral("os produtos"), list,
                 one ? QStringLiteral("tem") : QStringLiteral("têm"), m_options.refusedWork));
}

void PriceSetCopy::check(const Side &source, const Target &target) const
{
    const bool perRow = lookupPerRow(source);
    checkTaxRates(source, target, perRow);
    SqlParams p;
    QString where = copiedRows(p, source, target, perRow);
    where += QStringLiteral(" AND ") + validityKept(p, source, target.side);
    const QString start = validityStart(p, source, target.side);
    QSqlQuery q = runQuery(
        m_db,
        QStringLiteral("SELECT DISTINCT X.CDPRPAITABPR FROM (SELECT S.CDPRODUTO, S.CDPRPAITABPR, "
                       "S.CDTIPOCONSPD, S.NRDIASEMANPR, S.HRINIPRECDIA, S.HRFINPRECDIA, "
                       "%1 AS DTVALIDADE FROM ITEMPRECODIA S WHERE %2) X "
                       "GROUP BY X.CDPRODUTO, X.CDPRPAITABPR, X.CDTIPOCONSPD, X.NRDIASEMANPR, "
                       "X.HRINIPRECDIA, X.HRFINPRECDIA, X.DTVALIDADE HAVING COUNT(*) > 1 "
                       "ORDER BY X.CDPRPAITABPR")
            .arg(start, where),
        p.binds(), QStringLiteral("verificar as datas de validade dos preços diferenciados"));
    QStringList products;
    while (q.next())
        products << q.value(0).toString();
    if (products.isEmpty())
        return;
    const QString list = shortList(products, 20);
    throw ServerError(
        QStringLiteral("Os preços diferenciados dos produtos a seguir teriam a mesma data inicial "
                       "de validade na vigência de %1 da tabela %2 da filial %3: %4. Nada foi %5.")
            .arg(periodText(target.side.period), target.side.table, target.side.branch, list,
                 m_options.refusedWork));
}

void PriceSetCopy::copy(const Side &source, const Target &target, bool fresh) const
{
    const SqlDialect &d = m_db.dialect();
    const Side &to = target.side;
    const bool keepPresent = !m_options.overwrite && !fresh;
    const bool perRow = lookupPerRow(source);

    // The source's rows that are copied: the selected products' sets.
    auto selected = [&](SqlParams &p) {
        QString where = periodOf(QStringLiteral("S"), p, source) + QStringLiteral(" AND ") +
                        productFilter(QStringLiteral("S"), p.add(target.segment), perRow);
        if (keepPresent) {
            where += QStringLiteral(" AND S.CDPRPAITABPR NOT IN (SELECT H.CDCHAVE FROM %1 H)")
                         .arg(kPresentTable);
        }
        return where;
    };

    if (fresh) {
        // Nothing there yet.
    } else if (m_options.overwrite) {
        // Differentiated prices first: they hang from the item rows.
        for (const char *table : {"ITEMPRECODIA", "ITEMPRECO"}) {
            SqlParams p;
            const QString own = periodOf(QString(), p, to);
            run(QStringLiteral("DELETE FROM %1 WHERE %2 AND CDPRPAITABPR IN "
                               "(SELECT S.CDPRPAITABPR FROM ITEMPRECO S WHERE %3)")
                    .arg(QLatin1String(table), own, selected(p)),
                p, QStringLiteral("substituir os preços do período"));
        }
    } else {
        // What the target prices before anything is copied decides what is
        // left alone; the inserts below would otherwise hide it.
        m_db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 "
                                       "(CDCHAVE VARCHAR(10) NOT NULL PRIMARY KEY)")
                            .arg(kPresentTable));
        m_db.execDirect(QStringLiteral("DELETE FROM %1").arg(kPresentTable));
        SqlParams p;
        run(QStringLiteral("INSERT INTO %1 (CDCHAVE) SELECT DISTINCT H.CDPRPAITABPR "
                           "FROM ITEMPRECO H WHERE %2")
                .arg(kPresentTable, periodOf(QStringLiteral("H"), p, to)),
            p, QStringLiteral("ler os preços do período de destino"));
    }

    for (const char *tableName : {"ITEMPRECO", "ITEMPRECODIA"}) {
        const TableDef &def = Schema::table(QString::fromLatin1(tableName));
        const bool dayPrices = def.name == u"ITEMPRECODIA";
        SqlParams p;
        QStringList columns, values;
        for (const ColumnDef &c : def.columns) {
            columns << c.name;
            if (dayPrices && c.name == u"DTINIVALPREC")
                values << validityStart(p, source, to);
            else if (dayPrices && c.name == u"DTFINVALPREC")
                values << validityEnd(p, source, to);
            else
                values << targetColumn(c.name, p, d, to);
        }
        QString where = selected(p);
        if (dayPrices)
            where += QStringLiteral(" AND ") + validityKept(p, source, to);
        run(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %1 S WHERE %4")
                .arg(def.name, columns.join(u", "), values.join(u", "), where),
            p, QStringLiteral("copiar os preços do período"));
    }
}

} // namespace prx::server
