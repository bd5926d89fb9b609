// Import of a period's differentiated prices from a spreadsheet (the second
// sheet of the exported workbook, or the second CSV file, as CSV text).
//
// A method of its own rather than a mode of SetItemPrecoPlanilha: the rows
// are another table with another key, the checks are those of the
// differentiated prices, and its answer carries counts as well as rows,
// since a sheet of a million rows cannot travel back whole as a preview.
//
// SetPrecoHoraPlanilha(branch, table, start, csvText, apply) answers
// [lines, unchanged, added, changed, refused]: lines (NRLINHA, CDPRODUTO,
// NMPRODUTO, IDSITUACAO "N"/"A"/"R", DSDETALHE) are the first 10,000 rows
// that change something or are refused. A sheet row replaces the stored row
// with the same key (product, parent, consumer type, day, hours, validity
// start), or is added; stored rows the sheet does not name are kept. With
// `apply` the accepted rows are written in one transaction, checked again
// there; refused rows are never written.
//
// A file that carries the items too gives their CSV text and the levels of
// the product tree as two more arguments: then the items are checked first
// and the differentiated prices against the item prices as the items will
// leave them (a product priced in the same file can get one), both in the
// one transaction, and the answer adds [itemLines, itemUnchanged]. Written
// together they are all or nothing: a refused row of either sheet writes
// nothing, since half of a file would leave prices the user never saw
// side by side.
#include "methods/BulkWriter.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "methods/SheetItemImport.h"
#include "sheet/DayPriceImport.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

using sheet::DayPriceLine;
using sheet::DayPricePeriod;
using sheet::DayPriceRow;
using sheet::LineOutcome;
using sheet::ModalityCount;

constexpr int kShownLines = 10000;

std::optional<Decimal> decimalAt(const BulkReader &rows, int column)
{
    if (rows.isNull(column))
        return std::nullopt;
    return Decimal::fromDouble(rows.real(column));
}

DayPricePeriod loadPeriod(const Storage &db, const SqlBinds &binds)
{
    const SqlDialect &d = db.dialect();
    DayPricePeriod period;
    {
        QSqlQuery q =
            runQuery(db,
                     QStringLiteral("SELECT %1, %2 FROM TABEVEND WHERE CDFILIAL = :branch "
                                    "AND CDTABEPREC = :table AND DTINIVGPREC = :start")
                         .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC")),
                              d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
                     binds, QStringLiteral("ler a vigência"));
        if (q.next()) {
            period.start = q.value(0).toString();
            period.end = q.value(1).isNull() ? QString() : q.value(1).toString();
        }
    }
    {
        BulkReader rows(db,
                        QStringLiteral("SELECT CDPRODUTO, CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, "
                                       "VRPRECITEMCMD, VRPRECITEMCL FROM ITEMPRECO WHERE "
                                       "CDFILIAL = :branch AND CDTABEPREC = :table AND "
                                       "DTINIVGPREC = :start"),
                        binds, QStringLiteral("ler os itens da tabela de preço"));
        while (rows.next()) {
            sheet::DayPriceBasis basis;
            for (int m = 0; m < ModalityCount; ++m)
                basis.prices[m] = decimalAt(rows, 2 + m);
            basis.subsidy = decimalAt(rows, 5).value_or(Decimal(0));
            period.items.insert(DayPricePeriod::itemKey(rows.text(0), rows.text(1)), basis);
        }
    }
    {
        QSqlQuery q = runQuery(db, QStringLiteral("SELECT CDTIPOCONS FROM TIPOCONS"), {},
                               QStringLiteral("ler os tipos de consumidor"));
        while (q.next())
            period.consumerTypes.insert(q.value(0).toString());
    }
    BulkReader rows(
        db,
        QStringLiteral("SELECT CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, "
                       "HRFINPRECDIA, %1, %2, IDPERVALORPR, IDDESCACREPR, IDVISUACUPOM, "
                       "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, VRPRECODIA, VRPRECODIADLV, "
                       "VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD FROM ITEMPRECODIA WHERE "
                       "CDFILIAL = :branch AND CDTABEPREC = :table AND DTINIVGPREC = :start")
            .arg(d.selectDateTime(QStringLiteral("DTINIVALPREC")),
                 d.selectDateTime(QStringLiteral("DTFINVALPREC"))),
        binds, QStringLiteral("ler os preços diferenciados"));
    while (rows.next()) {
        DayPriceRow row;
        row.product = rows.text(0);
        row.parent = rows.text(1);
        row.consumer = rows.text(2);
        row.day = rows.text(3);
        row.startHour = rows.text(4);
        row.endHour = rows.text(5);
        row.validFrom = rows.text(6);
        row.validTo = rows.isNull(7) ? QString() : rows.text(7);
        row.percentOrValue = rows.text(8);
        row.discountOrIncrease = rows.text(9);
        row.visible = rows.text(10);
        for (int m = 0; m < ModalityCount; ++m) {
            row.flags[m] = rows.text(11 + m);
            row.amounts[m] = decimalAt(rows, 14 + m).value_or(Decimal(0));
            row.prices[m] = decimalAt(rows, 17 + m);
        }
        period.stored.insert(row.key(), row);
    }
    return period;
}

// The accepted rows go to two statements, one for new rows and one for
// changed ones, each run for many rows at a time.
class DayPriceWriter
{
public:
    DayPriceWriter(const Storage &db, const SqlBinds &binds)
    {
        const QString columns = QStringLiteral(
            "CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
            "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, IDVISUACUPOM, IDTPMODGERAL, "
            "IDTPMODDLV, IDTPMODCMD, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, "
            "PRECOCMD");
        const QString unnest = QStringLiteral(
            "unnest(CAST(:c0 AS TEXT[]), CAST(:c1 AS TEXT[]), CAST(:c2 AS TEXT[]), "
            "CAST(:c3 AS TEXT[]), CAST(:c4 AS TEXT[]), CAST(:c5 AS TEXT[]), CAST(:c6 AS TEXT[]), "
            "CAST(:c7 AS TEXT[]), CAST(:c8 AS TEXT[]), CAST(:c9 AS TEXT[]), CAST(:c10 AS TEXT[]), "
            "CAST(:c11 AS TEXT[]), CAST(:c12 AS TEXT[]), CAST(:c13 AS TEXT[]), "
            "CAST(:c14 AS DOUBLE PRECISION[]), CAST(:c15 AS DOUBLE PRECISION[]), "
            "CAST(:c16 AS DOUBLE PRECISION[]), CAST(:c17 AS DOUBLE PRECISION[]), "
            "CAST(:c18 AS DOUBLE PRECISION[]), CAST(:c19 AS DOUBLE PRECISION[])) "
            "AS u(p, pp, tc, dy, hi, hf, vi, vf, pv, da, vs, mg, md, mc, a0, a1, a2, r0, r1, r2)");
        const QString insertSqlite =
            QStringLiteral("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, %1, "
                           "DTULTALT) VALUES (:branch, :table, :start, :c0, :c1, :c2, :c3, :c4, "
                           ":c5, :c6, NULLIF(:c7, ''), :c8, :c9, :c10, :c11, :c12, :c13, :c14, "
                           ":c15, :c16, :c17, :c18, :c19, :stamp)")
                .arg(columns);
        const QString insertPostgres =
            QStringLiteral(
                "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, %1, DTULTALT) "
                "SELECT :branch, :table, CAST(:start AS TIMESTAMP), u.p, u.pp, u.tc, u.dy, u.hi, "
                "u.hf, CAST(u.vi AS TIMESTAMP), CAST(NULLIF(u.vf, '') AS TIMESTAMP), u.pv, u.da, "
                "u.vs, u.mg, u.md, u.mc, u.a0, u.a1, u.a2, u.r0, u.r1, u.r2, "
                "CAST(:stamp AS TIMESTAMP) FROM %2")
                .arg(columns, unnest);
        const QString updateSqlite = QStringLiteral(
            "UPDATE ITEMPRECODIA SET DTFINVALPREC = NULLIF(:c7, ''), IDPERVALORPR = :c8, "
            "IDDESCACREPR = :c9, IDVISUACUPOM = :c10, IDTPMODGERAL = :c11, IDTPMODDLV = :c12, "
            "IDTPMODCMD = :c13, VRPRECODIA = :c14, VRPRECODIADLV = :c15, VRPRECODIACMD = :c16, "
            "PRECO = :c17, PRECODLV = :c18, PRECOCMD = :c19, DTULTALT = :stamp "
            "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND DTINIVGPREC = :start AND "
            "CDPRODUTO = :c0 AND CDPRPAITABPR = :c1 AND CDTIPOCONSPD = :c2 AND "
            "NRDIASEMANPR = :c3 AND HRINIPRECDIA = :c4 AND HRFINPRECDIA = :c5 AND "
            "DTINIVALPREC = :c6");
        const QString updatePostgres =
            QStringLiteral(
                "UPDATE ITEMPRECODIA SET DTFINVALPREC = CAST(NULLIF(u.vf, '') AS TIMESTAMP), "
                "IDPERVALORPR = u.pv, IDDESCACREPR = u.da, IDVISUACUPOM = u.vs, "
                "IDTPMODGERAL = u.mg, IDTPMODDLV = u.md, IDTPMODCMD = u.mc, VRPRECODIA = u.a0, "
                "VRPRECODIADLV = u.a1, VRPRECODIACMD = u.a2, PRECO = u.r0, PRECODLV = u.r1, "
                "PRECOCMD = u.r2, DTULTALT = CAST(:stamp AS TIMESTAMP) FROM %1 "
                "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
                "DTINIVGPREC = CAST(:start AS TIMESTAMP) AND CDPRODUTO = u.p AND "
                "CDPRPAITABPR = u.pp AND CDTIPOCONSPD = u.tc AND NRDIASEMANPR = u.dy AND "
                "HRINIPRECDIA = u.hi AND HRFINPRECDIA = u.hf AND "
                "DTINIVALPREC = CAST(u.vi AS TIMESTAMP)")
                .arg(unnest);
        using K = BulkWriter::Kind;
        QList<K> kinds(14, K::Text);
        kinds << QList<K>(6, K::Real);
        SqlBinds all = binds;
        all << std::pair{QStringLiteral(":stamp"), SqlDialect::bindDateTime(db.now())};
        const QString doing = QStringLiteral("gravar os preços diferenciados da planilha");
        m_insert.emplace(db, insertSqlite, insertPostgres, kinds, all, doing);
        m_update.emplace(db, updateSqlite, updatePostgres, kinds, all, doing);
    }

    void add(const DayPriceRow &row, bool isNew)
    {
        BulkWriter &w = isNew ? *m_insert : *m_update;
        for (const QString *text :
             {&row.product, &row.parent, &row.consumer, &row.day, &row.startHour, &row.endHour,
              &row.validFrom, &row.validTo, &row.percentOrValue, &row.discountOrIncrease,
              &row.visible, &row.flags[0], &row.flags[1], &row.flags[2]})
            w.text(*text);
        for (const Decimal &amount : row.amounts)
            w.real(amount.toDouble());
        for (const std::optional<Decimal> &price : row.prices)
            w.real(price ? std::optional<double>(price->toDouble()) : std::nullopt);
        w.endRow();
        ++(isNew ? m_inserted : m_updated);
    }

    // A changed row someone else removed meanwhile, or a new one someone
    // else added, fails the whole import rather than being lost or doubled.
    void finish()
    {
        const qint64 inserted = m_insert->finish();
        const qint64 updated = m_update->finish();
        if (inserted != m_inserted || updated != m_updated) {
            throw ServerError(QStringLiteral("Os preços diferenciados da vigência mudaram durante "
                                             "a importação; nada foi gravado. Importe de novo."));
        }
    }

private:
    std::optional<BulkWriter> m_insert, m_update;
    qint64 m_inserted = 0, m_updated = 0;
};

DataPacketPtr linesPacket(const QList<DayPriceLine> &lines)
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("NRLINHA"), FieldType::Integer, 0},
                        {QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                        {QStringLiteral("NMPRODUTO"), FieldType::String, 50},
                        {QStringLiteral("IDSITUACAO"), FieldType::String, 1},
                        {QStringLiteral("DSDETALHE"), FieldType::String, 1000}});
    packet->reserve(int(lines.size()));
    for (const DayPriceLine &line : lines) {
        const int r = packet->appendRow();
        packet->setInteger(r, 0, line.line);
        packet->setString(r, 1, line.product.left(10));
        packet->setString(r, 3,
                          line.outcome == LineOutcome::New       ? u"N"
                          : line.outcome == LineOutcome::Changed ? u"A"
                                                                 : u"R");
        packet->setString(r, 4, line.detail.left(1000));
    }
    return packet;
}

// The bases the differentiated prices are checked against once the sheet's
// accepted item rows are written: a new product gets its price item here.
void applyItemPlan(DayPricePeriod *period, const sheet::ImportPlan &items)
{
    for (const sheet::ImportLine &line : items.lines) {
        if (line.outcome == LineOutcome::Refused)
            continue;
        sheet::DayPriceBasis basis;
        basis.prices[sheet::General] = line.result.prices[sheet::Consumer];
        basis.prices[sheet::DeliveryModality] = line.result.prices[sheet::Delivery];
        basis.prices[sheet::OrderPadModality] = line.result.prices[sheet::OrderPad];
        basis.subsidy = line.result.prices[sheet::Client].value_or(Decimal(0));
        period->items.insert(DayPricePeriod::itemKey(line.product, line.product), basis);
    }
}

QVariant setPrecoHoraPlanilha(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const SheetPeriod key{args[0].toString(), args[1].toString(), dateTimeArg(args[2])};
    const SqlBinds binds = key.binds();
    const bool apply = args[4].toBool();
    const bool withItems = args.size() > 5;
    if (withItems && args.size() < 7)
        throw ServerError(QStringLiteral("Informe os níveis da árvore de produtos com a planilha "
                                         "dos itens."),
                          ErrorArguments);

    Transaction tx(db);
    requirePeriod(db, args[0], args[1], key.start);
    std::optional<sheet::ImportPlan> items;
    if (withItems) {
        items = planItemSheet(db, key, args[6].toString(), args[5].toString());
        if (!items->fileError.isEmpty())
            throw ServerError(QStringLiteral("Planilha dos itens: ") + items->fileError,
                              ErrorArguments);
    }
    // Read before the items are written: a row exported with the old item
    // price is known by that price, and its new price follows the new base.
    DayPricePeriod period = loadPeriod(db, binds);
    QStringList itemsWritten;
    if (items) {
        applyItemPlan(&period, *items);
        // The items go first: a new product's differentiated price needs
        // its price item.
        if (apply)
            itemsWritten = writeItemSheet(db, key, *items);
    }
    std::optional<DayPriceWriter> writer;
    if (apply)
        writer.emplace(db, binds);
    const sheet::DayPricePlan plan = sheet::planDayPriceImport(
        args[3].toString(), period,
        [&writer](const DayPriceRow &row, bool isNew) {
            if (writer)
                writer->add(row, isNew);
        },
        kShownLines);
    if (!plan.fileError.isEmpty())
        throw ServerError(items ? QStringLiteral("Planilha dos preços diferenciados: ") +
                                      plan.fileError
                                : plan.fileError,
                          ErrorArguments);
    if (writer) {
        const int itemsRefused = items ? items->count(LineOutcome::Refused) : 0;
        if (items && itemsRefused + plan.refused > 0) {
            throw ServerError(
                QStringLiteral("A planilha tem linhas recusadas (%1 dos itens, %2 dos preços "
                               "diferenciados); nada foi gravado. Corrija essas linhas e "
                               "importe de novo.")
                    .arg(itemsRefused)
                    .arg(plan.refused),
                ErrorArguments);
        }
        writer->finish();
        // After the sheet's own rows: those it replaces are already valid
        // for the new bases; the rows it does not name are checked here.
        recomputeItemSheetDayPrices(db, key, itemsWritten);
        tx.commit();
    }
    QVariantList answer{QVariant::fromValue(linesPacket(plan.shown)), plan.unchanged, plan.added,
                        plan.changed, plan.refused};
    if (items)
        answer << QVariant::fromValue(itemPlanPacket(*items)) << items->unchanged;
    return answer;
}

} // namespace

void registerSheetDayPriceImportMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"SetPrecoHoraPlanilha",
                  {A::String, A::String, A::DateTime, A::String, A::Boolean, A::String, A::String},
                  setPrecoHoraPlanilha,
                  5});
}

} // namespace prx::server
