// The consistency check: each rule a save enforces, asked of the whole
// database as one query that answers only the rows breaking it.
#include "methods/ConsistencyCheck.h"

#include "methods/BulkWriter.h"
#include "methods/CheckText.h"
#include "methods/DayPriceRecompute.h"
#include "methods/MethodSupport.h"
#include "money/DayPrice.h"
#include "storage/Storage.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <functional>

namespace prx::server {

namespace {

const QString kDecimals = QStringLiteral("DECIMAIS");
const QString kLimit = QStringLiteral("LIMITE");
const QString kCalculation = QStringLiteral("CALCULO");
const QString kDayLimits = QStringLiteral("LIMITE_DIF");
const QString kValidity = QStringLiteral("VALIDADE");
const QString kPeriod = QStringLiteral("VIGENCIA");
const QString kOverlap = QStringLiteral("SOBREPOSICAO");
const QString kKey = QStringLiteral("CHAVE");
const QString kTax = QStringLiteral("ALIQUOTA");

// The price columns of an item; the first four refuse a negative value, the
// suggested and the calculated price only a value past the limit (as the
// item save does).
const QStringList kItemPrices = {"VRPRECITEM",   "VRPRECITEMDLV", "VRPRECITEMCMD",
                                 "VRPRECITEMCL", "VRPRESUGITEM",  "VRCUSTITEM"};
constexpr int kNonNegativeItemPrices = 4;
// Amounts and resulting prices of a differentiated price, by modality.
const QStringList kDayAmounts = {"VRPRECODIA", "VRPRECODIADLV", "VRPRECODIACMD"};
const QStringList kDayPrices = {"PRECO", "PRECODLV", "PRECOCMD"};
const QStringList kDayFlags = {"IDTPMODGERAL", "IDTPMODDLV", "IDTPMODCMD"};
const QStringList kDayBases = {"VRPRECITEM", "VRPRECITEMDLV", "VRPRECITEMCMD"};

const QString kPriceLimitSql = QStringLiteral("999999999999999");

// Columns of every query: 0 branch, 1 table, 2 period start (as text),
// 3 product, 4 tree code. Queries over differentiated prices go on with
// 5 parent product, 6 day, 7 start hour, 8 end hour, 9 consumer type,
// 10 validity start (as text); those over items with 5 parent product.
constexpr int kFirstDayValue = 11;
constexpr int kFirstItemValue = 6;

std::optional<double> realOf(const BulkReader &r, int column)
{
    return r.isNull(column) ? std::nullopt : std::optional<double>(r.real(column));
}

QString dateOf(const QString &stored)
{
    const QDateTime t = SqlDialect::dateTimeFromText(stored);
    return t.isValid() ? dateText(t) : stored;
}

QString joined(const QStringList &parts)
{
    return parts.join(QStringLiteral("; "));
}

// "Quarta, 14:00 às 16:00, tipo de consumidor Todos, validade desde
// 01/02/2026": which differentiated price of the product.
QString dayRowText(const BulkReader &r)
{
    QString text =
        QStringLiteral("%1, %2 às %3, tipo de consumidor %4, validade desde %5")
            .arg(dayText(r.text(6)), hourText(r.text(7)), hourText(r.text(8)),
                 r.text(9) == u"T" ? QStringLiteral("Todos") : r.text(9), dateOf(r.text(10)));
    if (r.text(5) != r.text(3))
        text += QStringLiteral(", componente de %1").arg(r.text(5));
    return text;
}

class Checker
{
public:
    explicit Checker(const Storage &db) : m_db(db), m_d(db.dialect()), m_digits(treeLevelDigits(db))
    {
    }

    QList<Finding> run()
    {
        registerPriceFunctions(m_db);
        decimals();
        limits();
        dayPrices();
        validity();
        periods();
        overlaps();
        keys();
        taxes();
        QList<Finding> all;
        for (const ConsistencyRule &rule : consistencyRules()) {
            QList<Finding> found = m_found.value(rule.code);
            std::stable_sort(found.begin(), found.end(), [](const Finding &a, const Finding &b) {
                return std::tie(a.branch, a.table, a.periodStart, a.product) <
                       std::tie(b.branch, b.table, b.periodStart, b.product);
            });
            all += found;
        }
        return all;
    }

private:
    using Judge = std::function<QString(const BulkReader &)>;

    QString date(const QString &column) const { return m_d.selectDateTime(column); }

    // The five leading columns over the table aliased `a`, and the join
    // that names its product.
    QString head(const QString &a) const
    {
        return QStringLiteral("%1.CDFILIAL, %1.CDTABEPREC, %2, %1.CDPRODUTO, P.CDARVPROD")
            .arg(a, date(a + QStringLiteral(".DTINIVGPREC")));
    }
    static QString productJoin(const QString &a)
    {
        return QStringLiteral(" LEFT JOIN PRODUTO P ON P.CDPRODUTO = %1.CDPRODUTO").arg(a);
    }
    QString dayHead() const
    {
        return head(QStringLiteral("D")) +
               QStringLiteral(", D.CDPRPAITABPR, D.NRDIASEMANPR, D.HRINIPRECDIA, "
                              "D.HRFINPRECDIA, D.CDTIPOCONSPD, ") +
               date(QStringLiteral("D.DTINIVALPREC"));
    }
    static QString itemJoin()
    {
        return QStringLiteral(" JOIN ITEMPRECO I ON I.CDFILIAL = D.CDFILIAL AND "
                              "I.CDTABEPREC = D.CDTABEPREC AND I.DTINIVGPREC = D.DTINIVGPREC "
                              "AND I.CDPRODUTO = D.CDPRODUTO AND I.CDPRPAITABPR = D.CDPRPAITABPR");
    }

    // Runs the query; each row for which a judge writes a detail becomes a
    // finding of that judge's rule. A row no judge speaks of is dropped (a
    // query may answer a few rows more than break its rule).
    void collect(const QString &sql, const QList<std::pair<QString, Judge>> &judges,
                 const QString &doing)
    {
        BulkReader r(m_db, sql, {}, doing);
        while (r.next()) {
            for (const auto &[rule, judge] : judges) {
                const QString detail = judge(r);
                if (detail.isEmpty())
                    continue;
                Finding f;
                f.rule = rule;
                f.branch = r.text(0);
                f.table = r.text(1);
                f.periodStart = r.text(2);
                f.product = r.text(3);
                f.treeCode = r.isNull(4) ? QString() : maskedTreeCode(r.text(4), m_digits);
                f.detail = detail;
                m_found[rule] << f;
            }
        }
    }
    void collect(const QString &rule, const QString &sql, const Judge &judge, const QString &doing)
    {
        collect(sql, {{rule, judge}}, doing);
    }

    // A test that a price column holds no more than two decimals, exact on
    // SQLite; on PostgreSQL a test on the shortest text that lets through
    // only candidates, which the judge then decides.
    QString notCents(const QString &alias, const QStringList &columns) const
    {
        QStringList terms;
        for (const QString &c : columns)
            terms << alias + u'.' + c;
        if (m_d.isSqlite())
            return QStringLiteral("prx_fora_centavos(%1) <> 0").arg(terms.join(u','));
        for (QString &t : terms)
            t = QStringLiteral("CAST(%1 AS TEXT) ~ '[.][0-9]{3}|e'").arg(t);
        return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
    }

    static QString centsDetail(const BulkReader &r, int first, const QStringList &columns)
    {
        QStringList bad;
        for (int i = 0; i < columns.size(); ++i) {
            const std::optional<double> v = realOf(r, first + i);
            if (v && !storedCents(*v))
                bad << columns[i] + u' ' + storedValueText(v);
        }
        return joined(bad);
    }

    void decimals()
    {
        collect(
            kDecimals,
            QStringLiteral("SELECT %1, A.CDPRPAITABPR, A.%2 FROM ITEMPRECO A%3 WHERE %4")
                .arg(head(QStringLiteral("A")), kItemPrices.join(QStringLiteral(", A.")),
                     productJoin(QStringLiteral("A")), notCents(QStringLiteral("A"), kItemPrices)),
            [](const BulkReader &r) { return centsDetail(r, kFirstItemValue, kItemPrices); },
            QStringLiteral("verificar as casas decimais dos preços"));
        const QStringList dayValues = kDayAmounts + kDayPrices;
        collect(
            kDecimals,
            QStringLiteral("SELECT %1, D.%2 FROM ITEMPRECODIA D%3 WHERE %4")
                .arg(dayHead(), dayValues.join(QStringLiteral(", D.")),
                     productJoin(QStringLiteral("D")), notCents(QStringLiteral("D"), dayValues)),
            [dayValues](const BulkReader &r) {
                const QString bad = centsDetail(r, kFirstDayValue, dayValues);
                return bad.isEmpty() ? bad : dayRowText(r) + QStringLiteral(": ") + bad;
            },
            QStringLiteral("verificar as casas decimais dos preços diferenciados"));
    }

    void limits()
    {
        QStringList terms;
        for (int i = 0; i < kItemPrices.size(); ++i) {
            const QString c = QStringLiteral("A.") + kItemPrices[i];
            terms << QStringLiteral("%1 >= %2").arg(c, kPriceLimitSql);
            if (i < kNonNegativeItemPrices)
                terms << QStringLiteral("%1 < 0").arg(c);
        }
        collect(
            kLimit,
            QStringLiteral("SELECT %1, A.CDPRPAITABPR, A.%2 FROM ITEMPRECO A%3 WHERE %4")
                .arg(head(QStringLiteral("A")), kItemPrices.join(QStringLiteral(", A.")),
                     productJoin(QStringLiteral("A")), terms.join(QStringLiteral(" OR "))),
            [](const BulkReader &r) {
                QStringList bad;
                for (int i = 0; i < kItemPrices.size(); ++i) {
                    const std::optional<double> v = realOf(r, kFirstItemValue + i);
                    if (!v)
                        continue;
                    if (!std::isfinite(*v) || *v >= kPriceLimit.toDouble())
                        bad << kItemPrices[i] + u' ' + storedValueText(v) +
                                   QStringLiteral(" (no limite ou acima)");
                    else if (*v < 0 && i < kNonNegativeItemPrices)
                        bad << kItemPrices[i] + u' ' + storedValueText(v) +
                                   QStringLiteral(" (negativo)");
                }
                return joined(bad);
            },
            QStringLiteral("verificar os limites dos preços"));

        // A percentage runs from 0 to 100, a fixed amount from 0 to below
        // the price limit.
        QStringList amountTerms;
        for (const QString &a : kDayAmounts) {
            amountTerms << QStringLiteral("D.%1 < 0 OR (D.IDPERVALORPR = 'P' AND D.%1 > 100) OR "
                                          "D.%1 >= %2")
                               .arg(a, kPriceLimitSql);
        }
        collect(
            kLimit,
            QStringLiteral("SELECT %1, D.IDPERVALORPR, D.%2 FROM ITEMPRECODIA D%3 WHERE %4")
                .arg(dayHead(), kDayAmounts.join(QStringLiteral(", D.")),
                     productJoin(QStringLiteral("D")), amountTerms.join(QStringLiteral(" OR "))),
            [](const BulkReader &r) {
                const bool percentage = r.text(kFirstDayValue) == u"P";
                QStringList bad;
                for (int i = 0; i < kDayAmounts.size(); ++i) {
                    const std::optional<double> v = realOf(r, kFirstDayValue + 1 + i);
                    if (!v)
                        continue;
                    const bool outside = !std::isfinite(*v) || *v < 0 ||
                                         *v >= kPriceLimit.toDouble() || (percentage && *v > 100);
                    if (outside)
                        bad << kDayAmounts[i] + u' ' + storedValueText(v) +
                                   (percentage ? QStringLiteral(" (percentual de 0 a 100)")
                                               : QStringLiteral(" (valor fixo de 0 até o "
                                                                "limite)"));
                }
                return bad.isEmpty() ? QString()
                                     : dayRowText(r) + QStringLiteral(": ") + joined(bad);
            },
            QStringLiteral("verificar os limites dos valores diferenciados"));
    }

    // Columns after the day head in the queries over differentiated prices
    // with their items: codes, subsidy, then by modality the item price,
    // the amount, the resulting price and the flag.
    static constexpr int kCodes = kFirstDayValue;       // "P"/"V", "D"/"A"
    static constexpr int kSubsidy = kFirstDayValue + 2; // VRPRECITEMCL
    static constexpr int kBase = kFirstDayValue + 3;    // + modality
    static constexpr int kAmount = kFirstDayValue + 6;  // + modality
    static constexpr int kPrice = kFirstDayValue + 9;   // + modality
    static constexpr int kFlag = kFirstDayValue + 12;   // + modality

    QString dayPriceSql(const QString &where) const
    {
        return QStringLiteral("SELECT %1, D.IDPERVALORPR, D.IDDESCACREPR, I.VRPRECITEMCL, "
                              "I.%2, D.%3, D.%4, D.%5 FROM ITEMPRECODIA D%6%7 WHERE %8")
            .arg(dayHead(), kDayBases.join(QStringLiteral(", I.")),
                 kDayAmounts.join(QStringLiteral(", D.")), kDayPrices.join(QStringLiteral(", D.")),
                 kDayFlags.join(QStringLiteral(", D.")), itemJoin(),
                 productJoin(QStringLiteral("D")), where);
    }

    // The stored price of each modality taking part against the one its
    // amount gives on its base under the shared routine.
    static QString calculationDetail(const BulkReader &r)
    {
        QStringList bad;
        for (int m = 0; m < 3; ++m) {
            if (r.text(kFlag + m) != u"S")
                continue;
            const std::optional<double> base = realOf(r, kBase + m);
            const std::optional<double> amount = realOf(r, kAmount + m);
            const std::optional<double> price = realOf(r, kPrice + m);
            const std::optional<Decimal> expected = storedDayPrice(
                base, realOf(r, kSubsidy), amount, r.text(kCodes), r.text(kCodes + 1));
            const std::optional<Decimal> stored = price ? storedDecimal(*price) : std::nullopt;
            if (expected && stored && *expected == *stored)
                continue;
            const QString modality = modalityText(m);
            if (!base) {
                bad << QStringLiteral("%1: sem o preço do produto para a modalidade (preço "
                                      "diferenciado %2)")
                           .arg(modality, storedValueText(price));
            } else if (!expected) {
                bad << QStringLiteral("%1: preço não calculável (códigos \"%2\"/\"%3\", valor %4)")
                           .arg(modality, r.text(kCodes), r.text(kCodes + 1),
                                storedValueText(amount));
            } else {
                bad << QStringLiteral("%1: preço %2, calculado %3 (valor %4 sobre o preço %5)")
                           .arg(modality, storedValueText(price),
                                storedValueText(expected->toDouble()), storedValueText(amount),
                                storedValueText(base));
            }
        }
        return bad.isEmpty() ? QString() : dayRowText(r) + QStringLiteral(": ") + joined(bad);
    }

    // Above 0 and below twice the base (and the price limit).
    static QString limitsDetail(const BulkReader &r)
    {
        QStringList bad;
        const std::optional<double> subsidy = realOf(r, kSubsidy);
        for (int m = 0; m < 3; ++m) {
            const std::optional<double> base = realOf(r, kBase + m);
            const std::optional<double> price = realOf(r, kPrice + m);
            if (r.text(kFlag + m) != u"S" || !base || !price)
                continue;
            const std::optional<Decimal> p = storedDecimal(*price);
            const std::optional<Decimal> b = storedDecimal(*base);
            const std::optional<Decimal> s =
                subsidy ? storedDecimal(*subsidy) : std::optional<Decimal>(Decimal());
            if (p && b && s && dayPriceAcceptable(*p, *b + *s))
                continue;
            const QString baseText =
                b && s ? storedValueText((*b + *s).toDouble()) : storedValueText(base);
            bad << QStringLiteral("%1: preço %2 sobre a base %3 (deve ser maior que zero e menor "
                                  "que o dobro da base)")
                       .arg(modalityText(m), storedValueText(price), baseText);
        }
        return bad.isEmpty() ? QString() : dayRowText(r) + QStringLiteral(": ") + joined(bad);
    }

    void dayPrices()
    {
        QStringList disagree, outside, active;
        for (int m = 0; m < 3; ++m) {
            const QString flag = QStringLiteral("D.") + kDayFlags[m];
            const QString base = QStringLiteral("I.") + kDayBases[m];
            const QString price = QStringLiteral("D.") + kDayPrices[m];
            active << QStringLiteral("%1 = 'S'").arg(flag);
            disagree << QStringLiteral("(%1 = 'S' AND prx_preco_confere(%2, %3, I.VRPRECITEMCL, "
                                       "D.%4, D.IDPERVALORPR, D.IDDESCACREPR) = 0)")
                            .arg(flag, price, base, kDayAmounts[m]);
            outside << QStringLiteral("(%1 = 'S' AND %2 IS NOT NULL AND %3 IS NOT NULL AND "
                                      "prx_preco_aceito(%2, %3, I.VRPRECITEMCL) = 0)")
                           .arg(flag, price, base);
        }
        const QString doing = QStringLiteral("verificar os preços diferenciados");
        if (m_d.isSqlite()) {
            collect(kCalculation, dayPriceSql(disagree.join(QStringLiteral(" OR "))),
                    calculationDetail, doing);
            collect(kDayLimits, dayPriceSql(outside.join(QStringLiteral(" OR "))), limitsDetail,
                    doing);
            return;
        }
        // The routine is ours, not the database's: one streaming pass over
        // every differentiated price that prices a modality.
        collect(dayPriceSql(active.join(QStringLiteral(" OR "))),
                {{kCalculation, calculationDetail}, {kDayLimits, limitsDetail}}, doing);
    }

    void validity()
    {
        collect(
            kValidity,
            QStringLiteral("SELECT %1, %2, %3 FROM ITEMPRECODIA D JOIN TABEVEND V ON "
                           "V.CDFILIAL = D.CDFILIAL AND V.CDTABEPREC = D.CDTABEPREC AND "
                           "V.DTINIVGPREC = D.DTINIVGPREC%4 WHERE D.DTINIVALPREC < V.DTINIVGPREC "
                           "OR D.DTINIVALPREC > D.DTFINVALPREC OR "
                           "D.DTINIVALPREC > V.DTFINVGPREC OR D.DTFINVALPREC > V.DTFINVGPREC")
                .arg(dayHead(), date(QStringLiteral("D.DTFINVALPREC")),
                     date(QStringLiteral("V.DTFINVGPREC")), productJoin(QStringLiteral("D"))),
            [](const BulkReader &r) {
                return dayRowText(r) + QStringLiteral(": validade de %1 a %2, vigência de %3 a %4")
                                           .arg(dateOf(r.text(10)), dateOf(r.text(kFirstDayValue)),
                                                dateOf(r.text(2)),
                                                dateOf(r.text(kFirstDayValue + 1)));
            },
            QStringLiteral("verificar a validade dos preços diferenciados"));
    }

    QString periodHead(const QString &a) const
    {
        return QStringLiteral("%1.CDFILIAL, %1.CDTABEPREC, %2, NULL, NULL")
            .arg(a, date(a + QStringLiteral(".DTINIVGPREC")));
    }

    void periods()
    {
        collect(
            kPeriod,
            QStringLiteral("SELECT %1, %2, V.IDSITVGPREC FROM TABEVEND V WHERE "
                           "V.DTFINVGPREC <= V.DTINIVGPREC OR V.IDSITVGPREC IS NULL OR "
                           "V.IDSITVGPREC NOT IN ('1', '2', '3', '4')")
                .arg(periodHead(QStringLiteral("V")), date(QStringLiteral("V.DTFINVGPREC"))),
            [](const BulkReader &r) {
                return QStringLiteral("vigência de %1 a %2, situação \"%3\"")
                    .arg(dateOf(r.text(2)), dateOf(r.text(5)), r.text(6));
            },
            QStringLiteral("verificar os períodos de vigência"));
    }

    // As the period save sees it: a period without an end counts as its
    // start day.
    void overlaps()
    {
        collect(
            kOverlap,
            QStringLiteral("SELECT %1, %2, %3, %4 FROM TABEVEND A JOIN TABEVEND B ON "
                           "B.CDFILIAL = A.CDFILIAL AND B.CDTABEPREC = A.CDTABEPREC AND "
                           "B.DTINIVGPREC > A.DTINIVGPREC AND "
                           "B.DTINIVGPREC <= COALESCE(A.DTFINVGPREC, A.DTINIVGPREC)")
                .arg(periodHead(QStringLiteral("A")), date(QStringLiteral("A.DTFINVGPREC")),
                     date(QStringLiteral("B.DTINIVGPREC")), date(QStringLiteral("B.DTFINVGPREC"))),
            [](const BulkReader &r) {
                return QStringLiteral("vigência de %1 a %2 sobrepõe a de %3 a %4")
                    .arg(dateOf(r.text(2)), dateOf(r.text(5)), dateOf(r.text(6)),
                         dateOf(r.text(7)));
            },
            QStringLiteral("verificar a sobreposição dos períodos"));
    }

    // The primary key keeps two rows from holding the same values; a code
    // with blanks around it, or (on SQLite) a date written another way,
    // would still make a second row of the same key. Only rows so written
    // can have a twin, so only their keys are counted.
    void keys()
    {
        struct Keyed
        {
            const char *table;
            QStringList key;
        };
        const Keyed tables[] = {
            {"TABEVEND", {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC"}},
            {"ITEMPRECO", {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"}},
            {"ITEMPRECODIA",
             {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD",
              "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"}},
        };
        for (const Keyed &t : tables) {
            const TableDef &def = Schema::table(QString::fromLatin1(t.table));
            QStringList normal, odd, shown;
            for (const QString &k : t.key) {
                const bool isDate = def.column(def.indexOf(k)).type == FieldType::DateTime;
                if (isDate && m_d.isSqlite()) {
                    normal << QStringLiteral("datetime(%1)").arg(k);
                    odd << QStringLiteral("%1 IS NOT datetime(%1)").arg(k);
                } else if (isDate) {
                    normal << k;
                } else {
                    normal << QStringLiteral("TRIM(%1)").arg(k);
                    odd << QStringLiteral("%1 <> TRIM(%1)").arg(k);
                }
                shown << (isDate ? date(QStringLiteral("N%1").arg(shown.size()))
                                 : QStringLiteral("N%1").arg(shown.size()));
            }
            QStringList named;
            for (int i = 0; i < normal.size(); ++i)
                named << QStringLiteral("%1 AS N%2").arg(normal[i]).arg(i);
            // The key values past the period, shown after the count.
            const QStringList rest = shown.mid(4);
            const QString sql =
                QStringLiteral("SELECT N0, N1, %1, %2, NULL, G.LINHAS, %3 FROM (SELECT %4, "
                               "COUNT(*) AS LINHAS FROM %5 WHERE (%6) IN (SELECT %6 FROM %5 "
                               "WHERE %7) GROUP BY %6 HAVING COUNT(*) > 1) G")
                    .arg(shown[2], shown.size() > 3 ? shown[3] : QStringLiteral("NULL"),
                         rest.isEmpty() ? QStringLiteral("''")
                                        : rest.join(QStringLiteral(" || ' / ' || ")),
                         named.join(QStringLiteral(", ")), QLatin1String(t.table),
                         normal.join(QStringLiteral(", ")), odd.join(QStringLiteral(" OR ")));
            const QString table = QLatin1String(t.table);
            collect(
                kKey, sql,
                [table](const BulkReader &r) {
                    const QString rest = r.text(6);
                    return QStringLiteral("%1 linhas de %2 com a mesma chave%3")
                        .arg(r.text(5), table,
                             rest.isEmpty() ? QString() : QStringLiteral(" (") + rest + u')');
                },
                QStringLiteral("verificar chaves repetidas"));
        }
    }

    // As the approval checks it: the period's own product rows without a
    // tax rate in the table's branch.
    void taxes()
    {
        collect(
            kTax,
            QStringLiteral("SELECT %1, I.CDPRPAITABPR, P.NMPRODUTO FROM TABEVEND V JOIN "
                           "ITEMPRECO I ON I.CDFILIAL = V.CDFILIAL AND "
                           "I.CDTABEPREC = V.CDTABEPREC AND I.DTINIVGPREC = V.DTINIVGPREC "
                           "AND I.CDPRPAITABPR = I.CDPRODUTO%2 WHERE V.IDSITVGPREC = '4' AND "
                           "NOT EXISTS (SELECT 1 FROM ALIQPROD T WHERE "
                           "T.CDFILIAL = I.CDFILIAL AND T.CDPRODUTO = I.CDPRODUTO)")
                .arg(head(QStringLiteral("I")), productJoin(QStringLiteral("I"))),
            [](const BulkReader &r) {
                return QStringLiteral("período aprovado com produto sem alíquota na filial: %1")
                    .arg(r.text(kFirstItemValue));
            },
            QStringLiteral("verificar produtos sem alíquota"));
    }

    const Storage &m_db;
    const SqlDialect &m_d;
    QList<int> m_digits;
    QHash<QString, QList<Finding>> m_found;
};

} // namespace

const QList<ConsistencyRule> &consistencyRules()
{
    static const QList<ConsistencyRule> rules = {
        {kDecimals, QStringLiteral("Preço com mais de duas casas decimais")},
        {kLimit, QStringLiteral("Preço ou valor negativo ou acima do limite")},
        {kCalculation, QStringLiteral("Preço diferenciado diferente do calculado")},
        {kDayLimits, QStringLiteral("Preço diferenciado fora dos limites")},
        {kValidity, QStringLiteral("Validade fora do período de vigência")},
        {kPeriod, QStringLiteral("Período de vigência inválido")},
        {kOverlap, QStringLiteral("Períodos de vigência sobrepostos")},
        {kKey, QStringLiteral("Chave repetida")},
        {kTax, QStringLiteral("Período aprovado com produto sem alíquota")},
    };
    return rules;
}

QList<Finding> checkConsistency(const Storage &db)
{
    return Checker(db).run();
}

QString findingLine(const Finding &f)
{
    QStringList where;
    if (!f.branch.isEmpty())
        where << QStringLiteral("filial %1").arg(f.branch);
    if (!f.table.isEmpty())
        where << QStringLiteral("tabela %1").arg(f.table);
    if (!f.periodStart.isEmpty())
        where << QStringLiteral("vigência %1").arg(dateOf(f.periodStart));
    if (!f.product.isEmpty()) {
        where << (f.treeCode.isEmpty()
                      ? QStringLiteral("produto %1").arg(f.product)
                      : QStringLiteral("produto %1 (%2)").arg(f.treeCode, f.product));
    }
    return QStringLiteral("[%1] %2: %3").arg(f.rule, where.join(QStringLiteral(", ")), f.detail);
}

QStringList findingCounts(const QList<Finding> &findings)
{
    QHash<QString, int> counts;
    for (const Finding &f : findings)
        ++counts[f.rule];
    QStringList lines;
    for (const ConsistencyRule &rule : consistencyRules())
        lines << QStringLiteral("%1 (%2): %3")
                     .arg(rule.code, rule.title)
                     .arg(counts.value(rule.code));
    return lines;
}

DataPacketPtr findingsPacket(const QList<Finding> &findings)
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDREGRA"), FieldType::String, 20},
                        {QStringLiteral("DSREGRA"), FieldType::String, 60},
                        {QStringLiteral("CDFILIAL"), FieldType::String, 4},
                        {QStringLiteral("CDTABEPREC"), FieldType::String, 3},
                        {QStringLiteral("DTINIVGPREC"), FieldType::DateTime, 0},
                        {QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                        {QStringLiteral("CDARVPROD"), FieldType::String, 40},
                        {QStringLiteral("DSOCORRENCIA"), FieldType::String, 1000}});
    QHash<QString, QString> titles;
    for (const ConsistencyRule &rule : consistencyRules())
        titles.insert(rule.code, rule.title);
    packet->reserve(int(findings.size()));
    for (const Finding &f : findings) {
        const int r = packet->appendRow();
        packet->setString(r, 0, f.rule);
        packet->setString(r, 1, titles.value(f.rule));
        packet->setString(r, 2, f.branch.left(4));
        packet->setString(r, 3, f.table.left(3));
        qint64 ms = 0;
        if (SqlDialect::parseDateTimeText(f.periodStart, &ms))
            packet->setDateTimeMs(r, 4, ms);
        packet->setString(r, 5, f.product.left(10));
        packet->setString(r, 6, f.treeCode.left(40));
        packet->setString(r, 7, findingLine(f).left(1000));
    }
    return packet;
}

namespace {

// Every stored row that breaks a rule the saves enforce, one row per
// finding; empty when the database is consistent.
QVariant getVerifConsistencia(Context &ctx, const QVariantList &)
{
    return packetResult(findingsPacket(checkConsistency(ctx.storage)));
}

} // namespace

void registerConsistencyMethods(MethodRegistry &registry)
{
    registry.add(kPriceTableObject, {"GetVerifConsistencia", {}, getVerifConsistencia});
}

} // namespace prx::server
