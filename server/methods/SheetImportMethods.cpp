// Import of a period's prices from a spreadsheet (CSV text).
#include "methods/BulkWriter.h"
#include "methods/DayPriceRecompute.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "methods/SheetItemImport.h"
#include "storage/PacketReader.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

using sheet::ImportLine;
using sheet::ImportPlan;
using sheet::LineOutcome;
using sheet::PeriodItem;

using PeriodArgs = SheetPeriod;

QString segmentOf(const Storage &db, const QString &branch)
{
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT CDSEGMER FROM FILIAL WHERE CDFILIAL = :branch"),
                 {{QStringLiteral(":branch"), branch}}, QStringLiteral("ler o segmento da filial"));
    if (!q.next())
        throw ServerError(QStringLiteral("Filial %1 não cadastrada.").arg(branch));
    return q.value(0).toString();
}

std::optional<Decimal> priceAt(const BulkReader &rows, int column)
{
    if (rows.isNull(column))
        return std::nullopt;
    return Decimal::fromDouble(rows.real(column));
}

// The products the item grid lists (the branch's segment, leaf level of the
// tree) with their own price rows of the period, by product code.
QHash<QString, PeriodItem> periodItems(const Storage &db, const PeriodArgs &period, int leafLength)
{
    SqlBinds binds = period.binds();
    binds << std::pair{QStringLiteral(":segment"), segmentOf(db, period.branch)}
          << std::pair{QStringLiteral(":length"), leafLength};
    BulkReader rows(
        db,
        QStringLiteral(
            "SELECT P.CDPRODUTO, P.NMPRODUTO, I.CDPRODUTO, I.VRPRECITEM, I.VRPRECITEMCL, "
            "I.VRPRECITEMDLV, I.VRPRECITEMCMD, I.VRPRESUGITEM, I.VRCUSTITEM, I.IDPRECVARIA, "
            "I.IDPRODPROMOC, I.HRINIVENPROD, I.HRFIMVENPROD "
            "FROM PRODSEGMER S JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO "
            "LEFT JOIN ITEMPRECO I ON I.CDFILIAL = :branch AND I.CDTABEPREC = :table "
            "AND I.DTINIVGPREC = :start AND I.CDPRODUTO = P.CDPRODUTO "
            "AND I.CDPRPAITABPR = P.CDPRODUTO "
            "WHERE S.CDSEGMER = :segment AND LENGTH(P.CDARVPROD) = :length"),
        binds, QStringLiteral("ler os itens da tabela de preço"));
    QHash<QString, PeriodItem> items;
    while (rows.next()) {
        PeriodItem item;
        item.name = rows.text(1);
        item.priced = !rows.isNull(2);
        for (int p = 0; p < sheet::PriceCount; ++p)
            item.stored.prices[p] = priceAt(rows, 3 + p);
        item.stored.variable = rows.text(9);
        item.stored.promotion = rows.text(10);
        item.stored.startHour = rows.text(11);
        item.stored.endHour = rows.text(12);
        items.insert(rows.text(0), item);
    }
    return items;
}

// The accepted rows, one statement run for the new ones and one for the
// changed ones. A product priced by someone else since the file was checked
// makes the insert fail, and the whole import with it, rather than be
// overwritten.
void writeLines(const Storage &db, const PeriodArgs &period, const QList<ImportLine> &lines)
{
    const QString unnest = QStringLiteral(
        "unnest(CAST(:c0 AS TEXT[]), CAST(:c1 AS DOUBLE PRECISION[]), "
        "CAST(:c2 AS DOUBLE PRECISION[]), CAST(:c3 AS DOUBLE PRECISION[]), "
        "CAST(:c4 AS DOUBLE PRECISION[]), CAST(:c5 AS DOUBLE PRECISION[]), "
        "CAST(:c6 AS DOUBLE PRECISION[]), CAST(:c7 AS TEXT[]), CAST(:c8 AS TEXT[]), "
        "CAST(:c9 AS TEXT[]), CAST(:c10 AS TEXT[])) AS u(p, a, b, c, d, e, f, v, m, hi, hf)");
    const QString insertSqlite = QStringLiteral(
        "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
        "VRPRECITEM, VRPRECITEMCL, VRPRECITEMDLV, VRPRECITEMCMD, VRPRESUGITEM, VRCUSTITEM, "
        "IDPRECVARIA, IDPRODPROMOC, HRINIVENPROD, HRFIMVENPROD, IDIMPPRODROT, DTULTALT) "
        "VALUES (:branch, :table, :start, :c0, :c0, :c1, :c2, :c3, :c4, :c5, :c6, :c7, :c8, "
        "NULLIF(:c9, ''), NULLIF(:c10, ''), 'N', :stamp)");
    const QString insertPostgres =
        QStringLiteral(
            "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
            "VRPRECITEM, VRPRECITEMCL, VRPRECITEMDLV, VRPRECITEMCMD, VRPRESUGITEM, VRCUSTITEM, "
            "IDPRECVARIA, IDPRODPROMOC, HRINIVENPROD, HRFIMVENPROD, IDIMPPRODROT, DTULTALT) "
            "SELECT :branch, :table, CAST(:start AS TIMESTAMP), u.p, u.p, u.a, u.b, u.c, u.d, "
            "u.e, u.f, u.v, u.m, NULLIF(u.hi, ''), NULLIF(u.hf, ''), 'N', "
            "CAST(:stamp AS TIMESTAMP) FROM %1")
            .arg(unnest);
    const QString updateSqlite = QStringLiteral(
        "UPDATE ITEMPRECO SET VRPRECITEM = :c1, VRPRECITEMCL = :c2, VRPRECITEMDLV = :c3, "
        "VRPRECITEMCMD = :c4, VRPRESUGITEM = :c5, VRCUSTITEM = :c6, IDPRECVARIA = :c7, "
        "IDPRODPROMOC = :c8, HRINIVENPROD = NULLIF(:c9, ''), HRFIMVENPROD = NULLIF(:c10, ''), "
        "DTULTALT = :stamp WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
        "DTINIVGPREC = :start AND CDPRODUTO = :c0 AND CDPRPAITABPR = :c0");
    const QString updatePostgres =
        QStringLiteral(
            "UPDATE ITEMPRECO SET VRPRECITEM = u.a, VRPRECITEMCL = u.b, VRPRECITEMDLV = u.c, "
            "VRPRECITEMCMD = u.d, VRPRESUGITEM = u.e, VRCUSTITEM = u.f, IDPRECVARIA = u.v, "
            "IDPRODPROMOC = u.m, HRINIVENPROD = NULLIF(u.hi, ''), "
            "HRFIMVENPROD = NULLIF(u.hf, ''), DTULTALT = CAST(:stamp AS TIMESTAMP) FROM %1 "
            "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
            "DTINIVGPREC = CAST(:start AS TIMESTAMP) AND CDPRODUTO = u.p AND CDPRPAITABPR = u.p")
            .arg(unnest);

    using K = BulkWriter::Kind;
    const QList<K> kinds = {K::Text, K::Real, K::Real, K::Real, K::Real, K::Real,
                            K::Real, K::Text, K::Text, K::Text, K::Text};
    const SqlBinds binds =
        period.binds() << std::pair{QStringLiteral(":stamp"), SqlDialect::bindDateTime(db.now())};
    for (const LineOutcome outcome : {LineOutcome::New, LineOutcome::Changed}) {
        const bool insert = outcome == LineOutcome::New;
        BulkWriter writer(db, insert ? insertSqlite : updateSqlite,
                          insert ? insertPostgres : updatePostgres, kinds, binds,
                          QStringLiteral("gravar os preços da planilha"));
        for (const ImportLine &line : lines) {
            if (line.outcome != outcome)
                continue;
            writer.text(line.product);
            for (const std::optional<Decimal> &price : line.result.prices)
                writer.real(price ? std::optional<double>(price->toDouble()) : std::nullopt);
            writer.text(line.result.variable);
            writer.text(line.result.promotion);
            writer.text(line.result.startHour);
            writer.text(line.result.endHour);
            writer.endRow();
        }
        writer.finish();
    }
}

DataPacketPtr planPacket(const ImportPlan &plan)
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("NRLINHA"), FieldType::Integer, 0},
                        {QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                        {QStringLiteral("NMPRODUTO"), FieldType::String, 50},
                        {QStringLiteral("IDSITUACAO"), FieldType::String, 1},
                        {QStringLiteral("DSDETALHE"), FieldType::String, 1000}});
    packet->reserve(int(plan.lines.size()));
    for (const ImportLine &line : plan.lines) {
        const int r = packet->appendRow();
        packet->setInteger(r, 0, line.line);
        packet->setString(r, 1, line.product.left(10));
        packet->setString(r, 2, line.name);
        packet->setString(r, 3,
                          line.outcome == LineOutcome::New       ? u"N"
                          : line.outcome == LineOutcome::Changed ? u"A"
                                                                 : u"R");
        packet->setString(r, 4, line.detail.left(1000));
    }
    return packet;
}

} // namespace

SqlBinds SheetPeriod::binds() const
{
    return {{QStringLiteral(":branch"), branch},
            {QStringLiteral(":table"), table},
            {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}};
}

sheet::ImportPlan planItemSheet(const Storage &db, const SheetPeriod &period, const QString &levels,
                                const QString &csvText)
{
    return sheet::planImportText(csvText, periodItems(db, period, leafCodeLength(db, levels)));
}

QStringList writeItemSheet(const Storage &db, const SheetPeriod &period,
                           const sheet::ImportPlan &plan)
{
    writeLines(db, period, plan.lines);
    QStringList written;
    for (const ImportLine &line : plan.lines) {
        if (line.outcome != LineOutcome::Refused)
            written << line.product;
    }
    return written;
}

void recomputeItemSheetDayPrices(const Storage &db, const SheetPeriod &period,
                                 const QStringList &written)
{
    if (written.isEmpty())
        return;
    fillSelection(db, written);
    recomputeDayPrices(db,
                       QStringLiteral("I.CDFILIAL = :branch AND I.CDTABEPREC = :table AND "
                                      "I.DTINIVGPREC = :start AND "
                                      "I.CDPRPAITABPR = I.CDPRODUTO AND I.CDPRODUTO IN "
                                      "(SELECT CDPRODUTO FROM %1)")
                           .arg(kSelectionTable),
                       period.binds());
}

DataPacketPtr itemPlanPacket(const ImportPlan &plan)
{
    return planPacket(plan);
}

namespace {

// Checks the sheet's rows against the period's products with the item
// grid's rules and answers, per row of the sheet that changes something or
// is refused, its line, product, outcome ("N" new price, "A" changed, "R"
// refused) and what changes or why it is refused, followed by the number of
// rows that change nothing. With `apply` the accepted rows are written in
// the same transaction (their differentiated prices follow the new prices);
// refused rows are never written, whatever the caller checked before.
QVariant setItemPrecoPlanilha(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const PeriodArgs period{args[0].toString(), args[1].toString(), dateTimeArg(args[2])};
    const bool apply = args[5].toBool();

    Transaction tx(db);
    requirePeriod(db, period.branch, period.table, period.start);
    const ImportPlan plan = planItemSheet(db, period, args[3].toString(), args[4].toString());
    if (!plan.fileError.isEmpty())
        throw ServerError(plan.fileError, ErrorArguments);
    if (apply) {
        recomputeItemSheetDayPrices(db, period, writeItemSheet(db, period, plan));
        tx.commit();
    }
    return QVariantList{QVariant::fromValue(planPacket(plan)), plan.unchanged};
}

} // namespace

void registerSheetImportMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"SetItemPrecoPlanilha",
                  {A::String, A::String, A::DateTime, A::String, A::String, A::Boolean},
                  setItemPrecoPlanilha});
}

} // namespace prx::server
