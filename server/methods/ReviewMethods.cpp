// The review of a period before it is released or approved: what it changes
// at the till, product by product, against the period that sells until it
// starts.
//
// GetRevisaoVigencia(branch, table, start) compares the period with the
// approved period of the same table that is in force when it takes over: the
// latest approved period, not this one, that starts before it and still
// holds on the day before its start (periods of a table never overlap, so
// the one that sells "at its start" is the one it follows). Without such a
// period everything the period prices is new.
//
// A product takes part when it has its own row with a consumer price
// (VRPRECITEM) in either period: new, removed, price up, price down or
// unchanged, with the old and new price and the change in % (exact decimal,
// two places, half up). Its own differentiated prices are matched by their
// key (consumer type, day, hours, validity start; a validity that starts
// with its period matches one that starts with the other period): added,
// removed, or changed when their kind, direction, amounts, modalities,
// "Visualiza" flag or validity end differ (an end at the end of its period
// matches one at the end of the other). The margin is at risk when the new
// price is below the calculated price; a product of the period without a
// tax rate in the branch blocks approval.
//
// The answer is a list of three packets: the summary (one row), the largest
// increases and decreases (up to five of each), the rows by tree code. Two
// set-based statements do the reading; the rest is one pass over the rows.
#include "methods/MethodSupport.h"
#include "money/Decimal.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace prx::server {

namespace {

constexpr int kExtremes = 5;

struct PeriodKey
{
    QDateTime start, end;
    QString state;
};

// The reviewed period, or a refusal naming it.
PeriodKey reviewedPeriod(const Storage &db, const QString &branch, const QString &table,
                         const QDateTime &start)
{
    const SqlDialect &d = db.dialect();
    QSqlQuery q = runQuery(db,
                           QStringLiteral("SELECT %1, IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = "
                                          ":branch AND CDTABEPREC = :table AND DTINIVGPREC = "
                                          ":start")
                               .arg(d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
                           {{QStringLiteral(":branch"), branch},
                            {QStringLiteral(":table"), table},
                            {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}},
                           QStringLiteral("ler o período de vigência"));
    if (!q.next()) {
        throw ServerError(QStringLiteral("Período de vigência de %1 da tabela de preço %2 da "
                                         "filial %3 não cadastrado.")
                              .arg(dateText(start), table, branch));
    }
    return {start,
            q.value(0).isNull() ? QDateTime() : SqlDialect::dateTimeFromText(q.value(0).toString()),
            q.value(1).toString()};
}

// The approved period that sells until the reviewed one starts; nullopt
// when none does.
std::optional<PeriodKey> periodBefore(const Storage &db, const QString &branch,
                                      const QString &table, const QDateTime &start)
{
    const SqlDialect &d = db.dialect();
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT %1, %2 FROM TABEVEND WHERE CDFILIAL = :branch AND CDTABEPREC = "
                       ":table AND IDSITVGPREC = '4' AND DTINIVGPREC < :start AND (DTFINVGPREC "
                       "IS NULL OR DTFINVGPREC >= :dayBefore) ORDER BY DTINIVGPREC DESC")
            .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC")),
                 d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
        {{QStringLiteral(":branch"), branch},
         {QStringLiteral(":table"), table},
         {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
         {QStringLiteral(":dayBefore"),
          SqlDialect::bindDateTime(wallClock(start.date().addDays(-1)))}},
        QStringLiteral("ler o período vigente"));
    if (!q.next())
        return std::nullopt;
    return PeriodKey{SqlDialect::dateTimeFromText(q.value(0).toString()),
                     q.value(1).isNull() ? QDateTime()
                                         : SqlDialect::dateTimeFromText(q.value(1).toString()),
                     QStringLiteral("4")};
}

// "a differs from b", nulls included.
QString differs(const SqlDialect &d, const QString &a, const QString &b)
{
    return d.isSqlite() ? QStringLiteral("%1 IS NOT %2").arg(a, b)
                        : QStringLiteral("%1 IS DISTINCT FROM %2").arg(a, b);
}

QString same(const SqlDialect &d, const QString &a, const QString &b)
{
    return d.isSqlite() ? QStringLiteral("%1 IS %2").arg(a, b)
                        : QStringLiteral("%1 IS NOT DISTINCT FROM %2").arg(a, b);
}

struct Binds
{
    QString branch, table;
    QVariant newStart, newEnd, oldStart, oldEnd; // bound date-times (null: none)

    // The same values under distinct names: a name may appear only once.
    SqlBinds of(const QStringList &names) const
    {
        SqlBinds out;
        for (const QString &name : names) {
            const QString base = name.section(u'_', 0, 0);
            QVariant v;
            if (base == u":b")
                v = branch;
            else if (base == u":t")
                v = table;
            else if (base == u":ns")
                v = newStart;
            else if (base == u":ne")
                v = newEnd;
            else if (base == u":os")
                v = oldStart;
            else if (base == u":oe")
                v = oldEnd;
            out.append({name, v});
        }
        return out;
    }
};

// The own rows of the products priced in either period, with both prices.
// The kind, the change and the flags are filled in afterwards.
DataPacketPtr readRows(const Storage &db, const Binds &binds)
{
    const QString period = QStringLiteral("%1.CDFILIAL = :b_%2 AND %1.CDTABEPREC = :t_%2 AND "
                                          "%1.DTINIVGPREC = :%3_%2 AND %1.CDPRPAITABPR = "
                                          "%1.CDPRODUTO AND %1.VRPRECITEM IS NOT NULL");
    const QString sql =
        QStringLiteral(
            "SELECT X.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, X.VRANT, X.VRNOVO, X.VRCUST, "
            "CASE WHEN X.NOVO = 1 AND NOT EXISTS (SELECT 1 FROM ALIQPROD A WHERE A.CDFILIAL = "
            ":b_9 AND A.CDPRODUTO = X.CDPRODUTO) THEN 'S' ELSE 'N' END "
            "FROM (SELECT N.CDPRODUTO, O.VRPRECITEM AS VRANT, N.VRPRECITEM AS VRNOVO, "
            "N.VRCUSTITEM AS VRCUST, 1 AS NOVO FROM ITEMPRECO N LEFT JOIN ITEMPRECO O ON "
            "O.CDFILIAL = :b_1 AND O.CDTABEPREC = :t_1 AND O.DTINIVGPREC = :os_1 AND "
            "O.CDPRODUTO = N.CDPRODUTO AND O.CDPRPAITABPR = N.CDPRODUTO AND O.VRPRECITEM IS NOT "
            "NULL WHERE %1 "
            "UNION ALL SELECT O.CDPRODUTO, O.VRPRECITEM, NULL, NULL, 0 FROM ITEMPRECO O WHERE %2 "
            "AND NOT EXISTS (SELECT 1 FROM ITEMPRECO N WHERE N.CDFILIAL = :b_4 AND N.CDTABEPREC "
            "= :t_4 AND N.DTINIVGPREC = :ns_4 AND N.CDPRODUTO = O.CDPRODUTO AND N.CDPRPAITABPR = "
            "O.CDPRODUTO AND N.VRPRECITEM IS NOT NULL)) X "
            "JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO ORDER BY P.CDARVPROD, X.CDPRODUTO")
            .arg(period.arg(QStringLiteral("N"), QStringLiteral("2"), QStringLiteral("ns")),
                 period.arg(QStringLiteral("O"), QStringLiteral("3"), QStringLiteral("os")));
    PacketReader reader({{"CDPRODUTO", FieldType::String, 10},
                         {"CDARVPROD", FieldType::String, 20},
                         {"NMPRODUTO", FieldType::String, 50},
                         {"VRANTERIOR", FieldType::Float, 0},
                         {"VRNOVO", FieldType::Float, 0},
                         {"VRCUSTITEM", FieldType::Float, 0},
                         {"IDSEMALIQ", FieldType::String, 1}});
    return reader.read(db, sql,
                       binds.of({":b_9", ":b_1", ":t_1", ":os_1", ":b_2", ":t_2", ":ns_2", ":b_3",
                                 ":t_3", ":os_3", ":b_4", ":t_4", ":ns_4"}),
                       QStringLiteral("comparar os preços dos períodos"));
}

struct DayCounts
{
    qint64 added = 0, removed = 0, changed = 0;
};

// The products' own differentiated prices, matched between the periods:
// how many each product gains, loses and has changed.
QHash<QString, DayCounts> readDayCounts(const Storage &db, const Binds &binds)
{
    const SqlDialect &d = db.dialect();
    auto col = [](const char *alias, const char *name) {
        return QStringLiteral("%1.%2").arg(QLatin1String(alias), QLatin1String(name));
    };
    QStringList changes;
    for (const char *c :
         {"IDPERVALORPR", "IDDESCACREPR", "VRPRECODIA", "VRPRECODIADLV", "VRPRECODIACMD",
          "IDVISUACUPOM", "IDTPMODGERAL", "IDTPMODDLV", "IDTPMODCMD"})
        changes << differs(d, col("N", c), col("O", c));
    changes << QStringLiteral("NOT (%1 OR (N.DTFINVALPREC = :ne_1 AND O.DTFINVALPREC = :oe_1))")
                   .arg(same(d, col("N", "DTFINVALPREC"), col("O", "DTFINVALPREC")));
    // Rows of the other period with the same key.
    const QString match = QStringLiteral(
        "%1.CDFILIAL = :b_%3 AND %1.CDTABEPREC = :t_%3 AND %1.DTINIVGPREC = :%4_%3 AND "
        "%1.CDPRODUTO = %2.CDPRODUTO AND %1.CDPRPAITABPR = %2.CDPRPAITABPR AND "
        "%1.CDTIPOCONSPD = %2.CDTIPOCONSPD AND %1.NRDIASEMANPR = %2.NRDIASEMANPR AND "
        "%1.HRINIPRECDIA = %2.HRINIPRECDIA AND %1.HRFINPRECDIA = %2.HRFINPRECDIA AND "
        "(%1.DTINIVALPREC = %2.DTINIVALPREC OR (N.DTINIVALPREC = :ns_v%3 AND O.DTINIVALPREC = "
        ":os_v%3))");
    const QString own = QStringLiteral("%1.CDFILIAL = :b_%2 AND %1.CDTABEPREC = :t_%2 AND "
                                       "%1.DTINIVGPREC = :%3_%2 AND %1.CDPRPAITABPR = "
                                       "%1.CDPRODUTO");
    const QString sql =
        QStringLiteral("SELECT CDPRODUTO, SUM(INC), SUM(EXC), SUM(ALT) FROM ("
                       "SELECT N.CDPRODUTO, CASE WHEN O.CDPRODUTO IS NULL THEN 1 ELSE 0 END AS "
                       "INC, 0 AS EXC, CASE WHEN O.CDPRODUTO IS NOT NULL AND (%1) THEN 1 ELSE 0 "
                       "END AS ALT FROM ITEMPRECODIA N LEFT JOIN ITEMPRECODIA O ON %2 WHERE %3 "
                       "UNION ALL SELECT O.CDPRODUTO, 0, 1, 0 FROM ITEMPRECODIA O WHERE %4 AND "
                       "NOT EXISTS (SELECT 1 FROM ITEMPRECODIA N WHERE %5)) C "
                       "GROUP BY CDPRODUTO HAVING SUM(INC) + SUM(EXC) + SUM(ALT) > 0")
            .arg(changes.join(QStringLiteral(" OR ")),
                 match.arg(QStringLiteral("O"), QStringLiteral("N"), QStringLiteral("1"),
                           QStringLiteral("os")),
                 own.arg(QStringLiteral("N"), QStringLiteral("2"), QStringLiteral("ns")),
                 own.arg(QStringLiteral("O"), QStringLiteral("3"), QStringLiteral("os")),
                 match.arg(QStringLiteral("N"), QStringLiteral("O"), QStringLiteral("4"),
                           QStringLiteral("ns")));
    QSqlQuery q = runQuery(
        db, sql,
        binds.of({":ne_1", ":oe_1", ":b_1", ":t_1", ":os_1", ":ns_v1", ":os_v1", ":b_2", ":t_2",
                  ":ns_2", ":b_3", ":t_3", ":os_3", ":b_4", ":t_4", ":ns_4", ":ns_v4", ":os_v4"}),
        QStringLiteral("comparar os preços diferenciados dos períodos"));
    QHash<QString, DayCounts> counts;
    while (q.next()) {
        counts.insert(q.value(0).toString(),
                      {q.value(1).toLongLong(), q.value(2).toLongLong(), q.value(3).toLongLong()});
    }
    return counts;
}

struct Kind
{
    const char16_t *code;
    const char16_t *text;
};
// Order of the summary's counts.
const Kind kKinds[] = {{u"N", u"Novo"},
                       {u"R", u"Removido"},
                       {u"A", u"Aumento"},
                       {u"D", u"Redução"},
                       {u"I", u"Sem alteração"}};

struct Extreme
{
    int row;
    Decimal change, difference;
};

QVariant getRevisaoVigencia(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QString branch = args[0].toString().trimmed();
    const QString table = args[1].toString().trimmed();
    // The start as a date-time, or as the text the screens show.
    const QDateTime start =
        args[2].metaType().id() == QMetaType::QDateTime
            ? dateTimeArg(args[2])
            : parseDateText(args[2], QStringLiteral("Data inicial de vigência"));
    const PeriodKey reviewed = reviewedPeriod(db, branch, table, start);
    const std::optional<PeriodKey> before = periodBefore(db, branch, table, start);
    Binds binds{branch,
                table,
                SqlDialect::bindDateTime(reviewed.start),
                SqlDialect::bindDateTime(reviewed.end),
                SqlDialect::bindDateTime(before ? before->start : QDateTime()),
                SqlDialect::bindDateTime(before ? before->end : QDateTime())};

    DataPacketPtr rows = readRows(db, binds);
    const QHash<QString, DayCounts> dayCounts = readDayCounts(db, binds);

    DataPacket &p = *rows;
    const int cProduct = 0, cTree = 1, cName = 2, cOld = 3, cNew = 4, cCost = 5, cUntaxed = 6;
    const int cKind = p.addColumn({"IDTIPO", FieldType::String, 1});
    const int cKindText = p.addColumn({"DSTIPO", FieldType::String, 15});
    const int cChange = p.addColumn({"VRVARIACAO", FieldType::Float, 0});
    const int cMargin = p.addColumn({"IDMARGEM", FieldType::String, 1});
    const int cAdded = p.addColumn({"NRDIFINCL", FieldType::Integer, 0});
    const int cRemoved = p.addColumn({"NRDIFEXCL", FieldType::Integer, 0});
    const int cChanged = p.addColumn({"NRDIFALT", FieldType::Integer, 0});
    // One flag for "any differentiated price changed", so that a list can be
    // narrowed to those products by a plain filter.
    const int cDayAny = p.addColumn({"IDDIFALT", FieldType::String, 1});

    qint64 kindCount[std::size(kKinds)] = {};
    qint64 margin = 0, untaxed = 0, dayAdded = 0, dayRemoved = 0, dayChanged = 0, withDay = 0;
    Decimal changeSum;
    qint64 changeCount = 0;
    std::vector<Extreme> ups, downs;
    const Decimal hundred(100);
    for (int r = 0; r < p.rowCount(); ++r) {
        const bool hasOld = !p.isNull(r, cOld), hasNew = !p.isNull(r, cNew);
        const Decimal oldPrice = hasOld ? Decimal::fromDouble(p.real(r, cOld)) : Decimal();
        const Decimal newPrice = hasNew ? Decimal::fromDouble(p.real(r, cNew)) : Decimal();
        int kind = 4;
        if (!hasOld)
            kind = 0;
        else if (!hasNew)
            kind = 1;
        else if (newPrice > oldPrice)
            kind = 2;
        else if (newPrice < oldPrice)
            kind = 3;
        ++kindCount[kind];
        p.setString(r, cKind, kKinds[kind].code);
        p.setString(r, cKindText, kKinds[kind].text);
        if (hasOld && hasNew && !oldPrice.isZero()) {
            // The exact change to six places for the average; two for the row.
            const std::optional<Decimal> change =
                Decimal::mulDiv(newPrice - oldPrice, hundred, oldPrice, 6);
            if (change) {
                p.setReal(r, cChange, change->rounded(2).toDouble());
                changeSum += *change;
                ++changeCount;
                if (kind == 2)
                    ups.push_back({r, *change, newPrice - oldPrice});
                else if (kind == 3)
                    downs.push_back({r, *change, newPrice - oldPrice});
            }
        }
        const bool atRisk =
            hasNew && !p.isNull(r, cCost) && newPrice < Decimal::fromDouble(p.real(r, cCost));
        p.setString(r, cMargin, atRisk ? u"S" : u"N");
        margin += atRisk;
        untaxed += p.stringView(r, cUntaxed) == u"S";
        const DayCounts day = dayCounts.value(p.string(r, cProduct));
        p.setInteger(r, cAdded, day.added);
        p.setInteger(r, cRemoved, day.removed);
        p.setInteger(r, cChanged, day.changed);
        dayAdded += day.added;
        dayRemoved += day.removed;
        dayChanged += day.changed;
        const bool anyDay = day.added + day.removed + day.changed > 0;
        p.setString(r, cDayAny, anyDay ? u"S" : u"N");
        withDay += anyDay;
    }

    // The largest changes: by the change in %, then by the amount, then by
    // the tree code (the rows' order).
    auto largest = [](std::vector<Extreme> &list, bool up) {
        std::stable_sort(list.begin(), list.end(), [up](const Extreme &a, const Extreme &b) {
            if (a.change != b.change)
                return up ? a.change > b.change : a.change < b.change;
            return up ? a.difference > b.difference : a.difference < b.difference;
        });
        if (list.size() > size_t(kExtremes))
            list.resize(kExtremes);
    };
    largest(ups, true);
    largest(downs, false);
    auto extremes =
        std::make_shared<DataPacket>(QList<FieldDef>{{"IDEXTREMO", FieldType::String, 1},
                                                     {"NRORDEM", FieldType::Integer, 0},
                                                     {"CDPRODUTO", FieldType::String, 10},
                                                     {"CDARVPROD", FieldType::String, 20},
                                                     {"NMPRODUTO", FieldType::String, 50},
                                                     {"VRANTERIOR", FieldType::Float, 0},
                                                     {"VRNOVO", FieldType::Float, 0},
                                                     {"VRVARIACAO", FieldType::Float, 0}});
    for (const auto &[list, code] : {std::pair{&ups, u"A"}, std::pair{&downs, u"D"}}) {
        for (size_t i = 0; i < list->size(); ++i) {
            const int from = (*list)[i].row;
            const int r = extremes->appendRow();
            extremes->setString(r, 0, code);
            extremes->setInteger(r, 1, qint64(i) + 1);
            const int sources[] = {cProduct, cTree, cName, cOld, cNew, cChange};
            for (int c = 0; c < int(std::size(sources)); ++c)
                extremes->setValue(r, c + 2, p.value(from, sources[c]));
        }
    }

    auto summary = std::make_shared<DataPacket>(QList<FieldDef>{
        {"CDFILIAL", FieldType::String, 4},       {"CDTABEPREC", FieldType::String, 3},
        {"DTINIVGPREC", FieldType::DateTime, 0},  {"DTFINVGPREC", FieldType::DateTime, 0},
        {"IDSITVGPREC", FieldType::String, 10},   {"DTINIVGANT", FieldType::DateTime, 0},
        {"DTFINVGANT", FieldType::DateTime, 0},   {"NRPRODUTOS", FieldType::Integer, 0},
        {"NRNOVOS", FieldType::Integer, 0},       {"NRREMOVIDOS", FieldType::Integer, 0},
        {"NRAUMENTOS", FieldType::Integer, 0},    {"NRREDUCOES", FieldType::Integer, 0},
        {"NRINALTERADOS", FieldType::Integer, 0}, {"NRMARGEM", FieldType::Integer, 0},
        {"NRSEMALIQ", FieldType::Integer, 0},     {"NRDIFINCL", FieldType::Integer, 0},
        {"NRDIFEXCL", FieldType::Integer, 0},     {"NRDIFALT", FieldType::Integer, 0},
        {"NRPRODDIF", FieldType::Integer, 0},     {"VRVARMEDIA", FieldType::Float, 0},
        {"IDBLOQUEIA", FieldType::String, 1}});
    DataPacket &s = *summary;
    const int r = s.appendRow();
    s.setString(r, 0, branch);
    s.setString(r, 1, table);
    s.setDateTime(r, 2, reviewed.start);
    if (reviewed.end.isValid())
        s.setDateTime(r, 3, reviewed.end);
    s.setString(r, 4, reviewed.state);
    if (before) {
        s.setDateTime(r, 5, before->start);
        if (before->end.isValid())
            s.setDateTime(r, 6, before->end);
    }
    const qint64 counts[] = {p.rowCount(), kindCount[0], kindCount[1], kindCount[2],
                             kindCount[3], kindCount[4], margin,       untaxed,
                             dayAdded,     dayRemoved,   dayChanged,   withDay};
    for (int i = 0; i < int(std::size(counts)); ++i)
        s.setInteger(r, 7 + i, counts[i]);
    if (changeCount > 0) {
        const std::optional<Decimal> average =
            Decimal::mulDiv(changeSum, Decimal(1), Decimal(int(changeCount)), 2);
        if (average)
            s.setReal(r, 19, average->toDouble());
    }
    s.setString(r, 20, untaxed > 0 ? u"S" : u"N");

    return QVariantList{packetResult(summary), packetResult(extremes), packetResult(rows)};
}

} // namespace

void registerReviewMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetRevisaoVigencia", {A::String, A::String, A::Any}, getRevisaoVigencia});
}

} // namespace prx::server
