// Export of a price table to other branches.
//
// getExpProduto lists the products the origin table prices (in any period),
// for the dialog's product pickers.
//
// setConfirmar exports to one table of one branch, existing or created here
// (code re-checked inside the transaction, name of 1 to 20 characters). Every
// period of the origin is taken over: a destination period with the same
// start is reused as it is (end and state kept), any other is created with
// the origin's dates in state "1"; a created period that would overlap
// another of the destination refuses the whole call, naming both.
//
// setConfirmar2 exports to the tables in force of several branches: each
// branch's table with the origin's code, in its period in force today, takes
// the prices of the origin's period in force. Every listed branch must exist,
// differ from the origin and have such a period; otherwise nothing is written
// and the refusal lists every failing branch (the dialog can only report
// success, so a partial export would be a failure reported as one).
//
// In both, a product's price set (item row, component rows, differentiated
// prices) replaces the destination's set of that product, products the
// origin does not price are left alone, and only products the destination
// branch's segment sells are written (PriceSetCopy). Differentiated prices
// keep their validity days, cut to the destination period, which may end
// earlier or later than the origin's: one that covers the whole origin period
// covers the whole destination period, one left wholly outside it is not
// copied, an open end closes with the period; two cut to the same start
// refuse the call, naming the products. So no exported row lies outside its
// period. Into an approved destination period only products with a tax
// rate in the destination branch go (approval demanded a complete set):
// otherwise the call is refused, naming them. One transaction per call,
// every check before the first write.
#include "methods/PriceSetCopy.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

const QString kProductKeys = QStringLiteral("PRXEXPPRODUTOS");
const QString kBranchKeys = QStringLiteral("PRXEXPFILIAIS");

QString text(const QVariant &value)
{
    return value.toString();
}

void requireSourceTable(const Storage &db, const QString &branch, const QString &table)
{
    if (!tableExists(db, branch, table)) {
        throw ServerError(
            QStringLiteral("Tabela de preço de origem %1 da filial %2 não cadastrada.")
                .arg(table, branch));
    }
}

// The products to export: every one, or the keys of the list (put in a
// scratch table); the name of that table, empty for every product.
QString productKeys(const Storage &db, bool fromList, const QVariant &list)
{
    if (!fromList)
        return {};
    const QStringList keys = parseKeyList(list.toString(), QStringLiteral("produtos"));
    if (keys.isEmpty())
        throw ServerError(QStringLiteral("Não há produto selecionado."));
    fillKeyTable(db, kProductKeys, keys);
    return kProductKeys;
}

// The products priced by the table in any of its periods.
QVariant getExpProduto(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{"IDMARCADO", FieldType::String, 1},
                         {"CDARVPROD", FieldType::String, 20},
                         {"NMPRODUTO", FieldType::String, 50},
                         {"CDPRODUTO", FieldType::String, 10}});
    reader.setConstant(QStringLiteral("IDMARCADO"), QString());
    return packetResult(
        reader.read(ctx.storage,
                    QStringLiteral("SELECT P.CDARVPROD, P.NMPRODUTO, P.CDPRODUTO FROM PRODUTO P "
                                   "WHERE P.CDPRODUTO IN (SELECT I.CDPRPAITABPR FROM ITEMPRECO I "
                                   "WHERE I.CDFILIAL = :branch AND I.CDTABEPREC = :table) "
                                   "ORDER BY P.CDARVPROD"),
                    {{QStringLiteral(":branch"), args[0]}, {QStringLiteral(":table"), args[1]}},
                    QStringLiteral("ler os produtos da tabela de preço")));
}

void checkNewTable(const Storage &db, const QString &branch, const QString &table,
                   const QString &name)
{
    if (table.trimmed().isEmpty())
        throw ServerError(QStringLiteral("Tabela destino deve ser informada."));
    if (table.size() > 3)
        throw ServerError(QStringLiteral("Código de tabela inválido: \"%1\".").arg(table));
    if (name.trimmed().isEmpty())
        throw ServerError(QStringLiteral("Nome deve ser informado."));
    if (name.size() > 20)
        throw ServerError(QStringLiteral("Nome da tabela deve ter no máximo 20 caracteres."));
    if (tableExists(db, branch, table))
        throw ServerError(QStringLiteral("Tabela já cadastrada para a filial informada."));
}

struct PeriodPair
{
    Period source;
    Period target;
    bool created = false;
};

// Each origin period with the destination period it goes into.
QList<PeriodPair> planPeriods(const QList<Period> &origin, const QList<Period> &existing,
                              const QString &branch, const QString &table)
{
    QList<PeriodPair> plan;
    for (const Period &s : origin) {
        auto same = std::find_if(existing.begin(), existing.end(),
                                 [&](const Period &e) { return e.start == s.start; });
        if (same != existing.end())
            plan.append({s, *same, false});
        else
            plan.append({s, {s.start, s.end, QStringLiteral("1")}, true});
    }
    QList<Period> all = existing;
    for (const PeriodPair &p : plan) {
        if (p.created)
            all.append(p.target);
    }
    for (const PeriodPair &p : plan) {
        if (!p.created)
            continue;
        for (const Period &other : all) {
            if (other.start != p.target.start && p.target.overlaps(other)) {
                throw ServerError(
                    QStringLiteral("O período de vigência de %1 da tabela de origem conflita com "
                                   "o período de vigência de %2 da tabela %3 da filial %4. "
                                   "Nada foi exportado.")
                        .arg(periodText(p.target), periodText(other), table, branch));
            }
        }
    }
    return plan;
}

QVariant setConfirmar(Context &ctx, const QVariantList &args)
{
    const bool newTable = args[0].toBool();
    const QString dstBranch = text(args[1]), dstTable = text(args[2]), dstName = text(args[3]);
    const QString srcBranch = text(args[4]), srcTable = text(args[5]), mode = text(args[7]);
    if (mode != u"T" && mode != u"L") {
        throw ServerError(QStringLiteral("Seleção de produtos inválida: \"%1\".").arg(mode),
                          ErrorArguments);
    }
    Storage &db = ctx.storage;
    Transaction tx(db);
    requireSourceTable(db, srcBranch, srcTable);
    if (!branchExists(db, dstBranch))
        throw ServerError(QStringLiteral("Filial de destino %1 não cadastrada.").arg(dstBranch));
    // The origin as its own destination would delete what it copies.
    if (dstBranch == srcBranch && dstTable == srcTable)
        throw ServerError(QStringLiteral("Tabela destino deve ser diferente da tabela origem."));
    if (newTable)
        checkNewTable(db, dstBranch, dstTable, dstName);
    else if (!tableExists(db, dstBranch, dstTable))
        throw ServerError(QStringLiteral("Tabela não cadastrada para a filial informada."));
    const QList<PeriodPair> plan = planPeriods(
        tablePeriods(db, srcBranch, srcTable),
        newTable ? QList<Period>() : tablePeriods(db, dstBranch, dstTable), dstBranch, dstTable);
    const QString keys = productKeys(db, mode == u"L", args[6]);
    const QString segment = branchSegment(db, dstBranch);
    const PriceSetCopy copier(db, {true, false, keys, QStringLiteral("exportado")});
    for (const PeriodPair &p : plan)
        copier.check({srcBranch, srcTable, p.source}, {{dstBranch, dstTable, p.target}, segment});

    if (newTable) {
        runQuery(db,
                 QStringLiteral("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                                "VALUES (:branch, :table, :name)"),
                 {{QStringLiteral(":branch"), dstBranch},
                  {QStringLiteral(":table"), dstTable},
                  {QStringLiteral(":name"), dstName}},
                 QStringLiteral("criar a tabela de preço"));
    }
    for (const PeriodPair &p : plan) {
        if (!p.created)
            continue;
        runQuery(db,
                 QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                                "DTFINVGPREC, IDSITVGPREC, DTULTALT) "
                                "VALUES (:branch, :table, :start, :end, :state, %1)")
                     .arg(db.dialect().now()),
                 {{QStringLiteral(":branch"), dstBranch},
                  {QStringLiteral(":table"), dstTable},
                  {QStringLiteral(":start"), SqlDialect::bindDateTime(p.target.start)},
                  {QStringLiteral(":end"), SqlDialect::bindDateTime(p.target.end)},
                  {QStringLiteral(":state"), p.target.state}},
                 QStringLiteral("criar o período de vigência"));
    }
    for (const PeriodPair &p : plan) {
        copier.copy({srcBranch, srcTable, p.source}, {{dstBranch, dstTable, p.target}, segment},
                    p.created);
    }
    tx.commit();
    return int(plan.size());
}

// The table's period in force today; false when it has none.
bool periodInForce(const Storage &db, const QString &branch, const QString &table, Period *out)
{
    const QDateTime today = wallClock(QDate::currentDate());
    for (const Period &p : tablePeriods(db, branch, table)) {
        if (p.start <= today && p.end.isValid() && today <= p.end)
            *out = p;
    }
    return out->start.isValid();
}

QVariant setConfirmar2(Context &ctx, const QVariantList &args)
{
    const QString srcBranch = text(args[0]), srcTable = text(args[1]);
    const QStringList branches = parseKeyList(text(args[2]), QStringLiteral("filiais"));
    if (branches.isEmpty())
        throw ServerError(QStringLiteral("Filial de destino deve ser informada."));
    Storage &db = ctx.storage;
    const SqlDialect &d = db.dialect();
    Transaction tx(db);
    requireSourceTable(db, srcBranch, srcTable);
    Period source;
    if (!periodInForce(db, srcBranch, srcTable, &source)) {
        throw ServerError(QStringLiteral("A tabela de preço %1 da filial %2 não tem vigência em "
                                         "vigor. Nada foi exportado.")
                              .arg(srcTable, srcBranch));
    }
    const QString keys = productKeys(db, args[4].toBool(), args[3]);

    // Every destination with what it lacks, in one read.
    fillKeyTable(db, kBranchKeys, branches);
    const QDateTime today = wallClock(QDate::currentDate());
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT K.CDCHAVE, F.CDFILIAL, F.CDSEGMER, T.CDTABEPREC, %1, %2, "
                       "V.IDSITVGPREC FROM %3 K "
                       "LEFT JOIN FILIAL F ON F.CDFILIAL = K.CDCHAVE "
                       "LEFT JOIN TABEPREC T ON T.CDFILIAL = K.CDCHAVE AND T.CDTABEPREC = :table "
                       "LEFT JOIN TABEVEND V ON V.CDFILIAL = K.CDCHAVE AND "
                       "V.CDTABEPREC = :table2 AND V.DTINIVGPREC <= :today AND "
                       "V.DTFINVGPREC >= :today2 "
                       "ORDER BY K.CDCHAVE, V.DTINIVGPREC DESC")
            .arg(d.selectDateTime(QStringLiteral("V.DTINIVGPREC")),
                 d.selectDateTime(QStringLiteral("V.DTFINVGPREC")), kBranchKeys),
        {{QStringLiteral(":table"), srcTable},
         {QStringLiteral(":table2"), srcTable},
         {QStringLiteral(":today"), SqlDialect::bindDateTime(today)},
         {QStringLiteral(":today2"), SqlDialect::bindDateTime(today)}},
        QStringLiteral("verificar as filiais de destino"));
    QList<PriceSetCopy::Target> targets;
    QStringList failures;
    QString last;
    while (q.next()) {
        const QString branch = q.value(0).toString();
        if (branch == last)
            continue; // a later period in force of the same branch
        last = branch;
        if (q.value(1).isNull())
            failures << QStringLiteral("Filial %1: não cadastrada.").arg(branch);
        else if (branch == srcBranch)
            failures << QStringLiteral("Filial %1: é a filial de origem.").arg(branch);
        else if (q.value(3).isNull())
            failures
                << QStringLiteral("Filial %1: não tem a tabela de preço %2.").arg(branch, srcTable);
        else if (q.value(4).isNull())
            failures << QStringLiteral("Filial %1: a tabela de preço %2 não tem vigência em vigor.")
                            .arg(branch, srcTable);
        else
            targets.append(
                {{branch,
                  srcTable,
                  {SqlDialect::dateTimeFromText(q.value(4).toString()),
                   SqlDialect::dateTimeFromText(q.value(5).toString()), q.value(6).toString()}},
                 q.value(2).toString()});
    }
    if (!failures.isEmpty()) {
        throw ServerError(QStringLiteral("Nada foi exportado.\n") + failures.join(u'\n'));
    }
    const PriceSetCopy copier(db, {true, false, keys, QStringLiteral("exportado")});
    for (const PriceSetCopy::Target &target : targets)
        copier.check({srcBranch, srcTable, source}, target);
    for (const PriceSetCopy::Target &target : targets)
        copier.copy({srcBranch, srcTable, source}, target);
    tx.commit();
    return int(targets.size());
}

} // namespace

void registerTransferMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"getExpProduto", {A::String, A::String}, getExpProduto});
    registry.add(kPriceTableObject, {"setConfirmar",
                                     {A::Boolean, A::String, A::String, A::String, A::String,
                                      A::String, A::String, A::String},
                                     setConfirmar});
    registry.add(
        kPriceTableObject,
        {"setConfirmar2", {A::String, A::String, A::String, A::String, A::Boolean}, setConfirmar2});
}

} // namespace prx::server
