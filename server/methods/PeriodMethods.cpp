// Validity periods of a price table: reading, saving and the checks the
// screen makes before it saves one.
#include "methods/CheckText.h"
#include "methods/MethodSupport.h"
#include "storage/DeltaWriter.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

const FieldDef kStart{"DTINIVGPREC", FieldType::DateTime, 0};
const FieldDef kEnd{"DTFINVGPREC", FieldType::DateTime, 0};

QSqlQuery periodQuery(const Storage &db, const QString &sql, const QVariantList &args)
{
    SqlBinds binds{{QStringLiteral(":branch"), args[0]}, {QStringLiteral(":table"), args[1]}};
    if (args.size() > 2)
        binds.append({QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(args[2]))});
    return runQuery(db, sql, binds, QStringLiteral("ler períodos de vigência"));
}

// The periods of a table, oldest first, with the table's name.
QVariant getTabeVend(Context &ctx, const QVariantList &args)
{
    const SqlDialect &d = ctx.storage.dialect();
    PacketReader reader({{"CDTABEPREC", FieldType::String, 3},
                         kStart,
                         kEnd,
                         {"CDFILIAL", FieldType::String, 4},
                         {"IDSITVGPREC", FieldType::String, 10},
                         {"NMTABEPREC", FieldType::String, 20}});
    QSqlQuery q = periodQuery(
        ctx.storage,
        QStringLiteral("SELECT V.CDTABEPREC, %1, %2, V.CDFILIAL, V.IDSITVGPREC, T.NMTABEPREC "
                       "FROM TABEVEND V JOIN TABEPREC T "
                       "ON T.CDFILIAL = V.CDFILIAL AND T.CDTABEPREC = V.CDTABEPREC "
                       "WHERE V.CDFILIAL = :branch AND V.CDTABEPREC = :table "
                       "ORDER BY V.DTINIVGPREC")
            .arg(d.selectDateTime(QStringLiteral("V.DTINIVGPREC")),
                 d.selectDateTime(QStringLiteral("V.DTFINVGPREC"))),
        args);
    return packetResult(reader.read(q));
}

// The latest end date of the table's periods; no row when none has one.
QVariant getMaxDtFinVg(Context &ctx, const QVariantList &args)
{
    PacketReader reader({kEnd});
    QSqlQuery q = periodQuery(
        ctx.storage,
        QStringLiteral("SELECT %1 FROM (SELECT MAX(DTFINVGPREC) AS LASTEND FROM TABEVEND "
                       "WHERE CDFILIAL = :branch AND CDTABEPREC = :table) M "
                       "WHERE LASTEND IS NOT NULL")
            .arg(ctx.storage.dialect().selectDateTime(QStringLiteral("LASTEND"))),
        args);
    return packetResult(reader.read(q));
}

// A row when the table has a period with that start.
QVariant getVerifTabeVend(Context &ctx, const QVariantList &args)
{
    PacketReader reader(
        {{"CDFILIAL", FieldType::String, 4}, {"CDTABEPREC", FieldType::String, 3}, kStart});
    QSqlQuery q = periodQuery(
        ctx.storage,
        QStringLiteral("SELECT CDFILIAL, CDTABEPREC, %1 FROM TABEVEND "
                       "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND DTINIVGPREC = :start")
            .arg(ctx.storage.dialect().selectDateTime(QStringLiteral("DTINIVGPREC"))),
        args);
    return packetResult(reader.read(q));
}

// The table's other periods (all but the one starting at `start`), against
// which the screen applies its one-period-in-force rule; the period being
// saved must not count against itself.
QVariant getPesqDataVigente(Context &ctx, const QVariantList &args)
{
    const SqlDialect &d = ctx.storage.dialect();
    PacketReader reader({kStart, kEnd});
    QSqlQuery q = periodQuery(
        ctx.storage,
        QStringLiteral("SELECT %1, %2 FROM TABEVEND "
                       "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND DTINIVGPREC <> :start "
                       "ORDER BY DTINIVGPREC")
            .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC")),
                 d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
        args);
    return packetResult(reader.read(q));
}

// Whether [start, end] shares a day with another period of the table; a
// period without an end counts as its start day only.
bool overlapsAnother(const Storage &db, const QString &branch, const QString &table,
                     const QDateTime &start, const QDateTime &end)
{
    return queryHasRows(db,
                        QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = :branch AND "
                                       "CDTABEPREC = :table AND DTINIVGPREC <> :start AND "
                                       "DTINIVGPREC <= :end AND "
                                       "COALESCE(DTFINVGPREC, DTINIVGPREC) >= :start2"),
                        {{QStringLiteral(":branch"), branch},
                         {QStringLiteral(":table"), table},
                         {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
                         {QStringLiteral(":end"), SqlDialect::bindDateTime(end)},
                         {QStringLiteral(":start2"), SqlDialect::bindDateTime(start)}});
}

// True when [start, end] overlaps another period of the table (not the
// period itself).
QVariant getTabePrecData(Context &ctx, const QVariantList &args)
{
    return overlapsAnother(ctx.storage, args[0].toString(), args[1].toString(),
                           dateTimeArg(args[2]), dateTimeArg(args[3]));
}

// Deletes everything priced inside a period: differentiated prices first,
// then items and component prices, so that no row is left pointing at it.
void deletePeriodContents(const Storage &db, const DeltaRow &row, int cBranch, int cTable,
                          int cStart)
{
    for (const char *table : {"ITEMPRECODIA", "ITEMPRECO"}) {
        runQuery(db,
                 QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = :branch AND "
                                "CDTABEPREC = :table AND DTINIVGPREC = :start")
                     .arg(QLatin1String(table)),
                 {{QStringLiteral(":branch"), row.values[cBranch]},
                  {QStringLiteral(":table"), row.values[cTable]},
                  {QStringLiteral(":start"), row.values[cStart]}},
                 QStringLiteral("excluir os preços do período"));
    }
}

// A period's differentiated prices lie inside it: an end moved before the
// validity of some of them is refused, naming the products and how many
// rows each has there; the user shortens or removes those first. One
// grouped read, inside the save's transaction.
void requireValidityInside(const Storage &db, const DeltaRow &row, int cBranch, int cTable,
                           int cStart, const QDateTime &end)
{
    // Read first: another statement on this connection while the answer is
    // being read would lose the rest of it (PostgreSQL).
    const QList<int> digits = treeLevelDigits(db);
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT P.CDARVPROD, D.CDPRPAITABPR, COUNT(*) FROM ITEMPRECODIA D "
                                "LEFT JOIN PRODUTO P ON P.CDPRODUTO = D.CDPRPAITABPR "
                                "WHERE D.CDFILIAL = :branch AND D.CDTABEPREC = :table AND "
                                "D.DTINIVGPREC = :start AND (D.DTINIVALPREC > :end OR "
                                "D.DTFINVALPREC > :end2) GROUP BY P.CDARVPROD, D.CDPRPAITABPR "
                                "ORDER BY P.CDARVPROD, D.CDPRPAITABPR"),
                 {{QStringLiteral(":branch"), row.values[cBranch]},
                  {QStringLiteral(":table"), row.values[cTable]},
                  {QStringLiteral(":start"),
                   SqlDialect::bindDateTime(SqlDialect::dateTimeFromText(row.text(cStart)))},
                  {QStringLiteral(":end"), SqlDialect::bindDateTime(end)},
                  {QStringLiteral(":end2"), SqlDialect::bindDateTime(end)}},
                 QStringLiteral("verificar a validade dos preços diferenciados"));
    QStringList products;
    qint64 rows = 0;
    while (q.next()) {
        const QString product = q.value(0).isNull() ? q.value(1).toString()
                                                    : maskedTreeCode(q.value(0).toString(), digits);
        const qint64 count = q.value(2).toLongLong();
        rows += count;
        products << QStringLiteral("%1 (%2)").arg(product).arg(count);
    }
    if (products.isEmpty())
        return;
    const QString list = shortList(products);
    const bool one = rows == 1;
    throw ServerError(
        QStringLiteral("Operação bloqueada! %1 %2 %3 %4 validade após a nova data final da "
                       "vigência, %5. Reduza a validade %6 ou %7 antes de alterar a data final.")
            .arg(one ? QStringLiteral("1 preço diferenciado")
                     : QStringLiteral("%1 preços diferenciados").arg(rows),
                 products.size() == 1 ? QStringLiteral("do produto")
                                      : QStringLiteral("dos produtos"),
                 list, one ? QStringLiteral("tem") : QStringLiteral("têm"), dateText(end),
                 one ? QStringLiteral("desse preço diferenciado")
                     : QStringLiteral("desses preços diferenciados"),
                 one ? QStringLiteral("exclua-o") : QStringLiteral("exclua-os")));
}

// An approved period holds only products with a tax rate in its branch, as
// approval demands: a save that sets the state to approved is held to it.
void requireTaxRates(const Storage &db, const DeltaRow &row, int cBranch, int cTable, int cStart)
{
    const QList<int> digits = treeLevelDigits(db);
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT P.CDARVPROD, I.CDPRODUTO FROM ITEMPRECO I LEFT JOIN PRODUTO P ON "
                       "P.CDPRODUTO = I.CDPRODUTO WHERE I.CDFILIAL = :branch AND "
                       "I.CDTABEPREC = :table AND I.DTINIVGPREC = :start AND "
                       "I.CDPRPAITABPR = I.CDPRODUTO AND NOT EXISTS (SELECT 1 FROM ALIQPROD A "
                       "WHERE A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO) "
                       "ORDER BY P.CDARVPROD, I.CDPRODUTO"),
        {{QStringLiteral(":branch"), row.values[cBranch]},
         {QStringLiteral(":table"), row.values[cTable]},
         {QStringLiteral(":start"),
          SqlDialect::bindDateTime(SqlDialect::dateTimeFromText(row.text(cStart)))}},
        QStringLiteral("verificar as alíquotas dos produtos"));
    const QStringList products = maskedProducts(q, digits);
    if (products.isEmpty())
        return;
    const QString list = shortList(products);
    throw ServerError(QStringLiteral("O período de vigência possui produtos sem alíquota de "
                                     "imposto e não pode ser aprovado: %1.")
                          .arg(list));
}

// Saves periods in one transaction. A new period without a state starts "1"
// (pending); an edited one keeps its state unless one is sent. The end must
// come after the start and the period may not overlap another of the table.
// Deleting a period deletes its items, component prices and differentiated
// prices with it, and is refused while the table is assigned to buyers. Keys
// (branch, table, start) never change on an update; an end moved earlier
// must leave every differentiated price of the period inside it, and a
// period set to approved must have every product's tax rate.
QVariant setTabeVend(Context &ctx, const QVariantList &args)
{
    const DeltaPacket &delta = deltaArg(args[0]);
    Storage &db = ctx.storage;
    const TableDef &def = Schema::table(u"TABEVEND");
    const int cBranch = def.indexOf(u"CDFILIAL"), cTable = def.indexOf(u"CDTABEPREC");
    const int cStart = def.indexOf(u"DTINIVGPREC"), cEnd = def.indexOf(u"DTFINVGPREC");
    const int cState = def.indexOf(u"IDSITVGPREC");
    DeltaWriter writer(db, def, delta, [&](const DeltaRow &row) {
        return QStringLiteral("o período de vigência de %1 da tabela de preço %2")
            .arg(dateText(SqlDialect::dateTimeFromText(row.text(cStart))), row.text(cTable));
    });
    writer.setKeyFixed(true);

    auto check = [&](DeltaRow &row, const DeltaRow *original) {
        if (row.text(cState).trimmed().isEmpty()) {
            row.present[cState] = true;
            row.values[cState] = original && original->has(cState) ? original->values[cState]
                                                                   : QVariant(QStringLiteral("1"));
        }
        static const QStringList states = {"1", "2", "3", "4"};
        if (!states.contains(row.text(cState)))
            throw ServerError(QStringLiteral("Situação do período de vigência inválida: %1.")
                                  .arg(row.text(cState)));
        if (row.isNull(cStart))
            throw ServerError(QStringLiteral("Data inicial de vigência deve ser informada."));
        const QDateTime start = SqlDialect::dateTimeFromText(row.text(cStart));
        const QDateTime end = SqlDialect::dateTimeFromText(row.text(cEnd));
        if (end.isValid() && end <= start) {
            throw ServerError(QStringLiteral(
                "Data final de vigência deve ser maior que a data inicial de vigência."));
        }
        // A period without an end is checked as its start day, as
        // getTabePrecData reports it.
        if (overlapsAnother(db, row.text(cBranch), row.text(cTable), start,
                            end.isValid() ? end : start)) {
            throw ServerError(QStringLiteral("Operação bloqueada!  A data final da vigência está "
                                             "em conflito com o período de outra vigência."));
        }
    };

    Transaction tx(db);
    for (const DeltaChange &change : delta.changes) {
        switch (change.kind) {
        case ChangeKind::Insert: {
            DeltaRow row = writer.currentRow(change);
            check(row, nullptr);
            if (!queryHasRows(db,
                              QStringLiteral("SELECT 1 FROM TABEPREC WHERE CDFILIAL = :branch "
                                             "AND CDTABEPREC = :table"),
                              {{QStringLiteral(":branch"), row.text(cBranch)},
                               {QStringLiteral(":table"), row.text(cTable)}}))
                throw ServerError(QStringLiteral("Tabela de preço não cadastrada."));
            if (!writer.insert(row))
                throw ServerError(QStringLiteral("Data inicial de vigência já cadastrada."));
            break;
        }
        case ChangeKind::Update: {
            const DeltaRow original = writer.originalRow(change);
            DeltaRow current = writer.currentRow(change);
            writer.requireSameKey(original, current);
            check(current, &original);
            const QDateTime end = SqlDialect::dateTimeFromText(current.text(cEnd));
            const QDateTime was = SqlDialect::dateTimeFromText(original.text(cEnd));
            if (current.has(cEnd) && end.isValid() && (!was.isValid() || end < was))
                requireValidityInside(db, original, cBranch, cTable, cStart, end);
            if (current.text(cState) == u"4" && original.text(cState) != u"4")
                requireTaxRates(db, original, cBranch, cTable, cStart);
            writer.updateOrConflict(original, current);
            break;
        }
        case ChangeKind::Delete: {
            const DeltaRow original = writer.originalRow(change);
            if (tableIsAssigned(db, original.text(cBranch), original.text(cTable))) {
                throw ServerError(
                    QStringLiteral("A tabela de preço %1 está parametrizada por cliente, loja ou "
                                   "filial: seus períodos de vigência não podem ser excluídos.")
                        .arg(original.text(cTable)));
            }
            deletePeriodContents(db, original, cBranch, cTable, cStart);
            writer.removeOrConflict(original);
            break;
        }
        }
    }
    tx.commit();
    return int(delta.changes.size());
}

} // namespace

void registerPeriodMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"GetTabeVend", {A::String, A::String}, getTabeVend});
    registry.add(kPriceTableObject, {"GetMaxDtFinVg", {A::String, A::String}, getMaxDtFinVg});
    registry.add(kPriceTableObject,
                 {"GetVerifTabeVend", {A::String, A::String, A::DateTime}, getVerifTabeVend});
    registry.add(kPriceTableObject,
                 {"GetPesqDataVigente", {A::String, A::String, A::DateTime}, getPesqDataVigente});
    registry.add(
        kPriceTableObject,
        {"getTabePrecData", {A::String, A::String, A::DateTime, A::DateTime}, getTabePrecData});
    registry.add(kPriceTableObject, {"SetTabeVend", {A::Delta}, setTabeVend});
}

} // namespace prx::server
