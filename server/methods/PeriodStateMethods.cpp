// Approval of a period and the checks around it: assignments that forbid a
// deletion, products without a tax rate.
#include "methods/MethodSupport.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

// Four packets, in this order: the client branches, stores, branches and
// clients that buy by the table.
QVariant getVeriVing(Context &ctx, const QVariantList &args)
{
    struct Assignment
    {
        const char *table;
        FieldDef field;
    };
    const Assignment assignments[] = {
        {"TABPRECCLIFILI", {"CDFILIAL", FieldType::String, 4}},
        {"TABPRECLOJA", {"CDLOJA", FieldType::String, 10}},
        {"TABPRECFILI", {"CDFILIAL", FieldType::String, 4}},
        {"TABPRECCLI", {"CDCLIENTE", FieldType::String, 10}},
    };
    QVariantList packets;
    for (const Assignment &a : assignments) {
        QSqlQuery q =
            runQuery(ctx.storage,
                     QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE CDFILTABPR = :branch AND "
                                    "CDTABEPREC = :table ORDER BY %1")
                         .arg(a.field.name, QLatin1String(a.table)),
                     {{QStringLiteral(":branch"), args[0]}, {QStringLiteral(":table"), args[1]}},
                     QStringLiteral("ler parametrizações da tabela de preço"));
        packets << packetResult(PacketReader({a.field}).read(q));
    }
    return packets;
}

// The products of the period (their own rows) without a tax rate in the
// table's branch.
const QString kProductsWithoutTaxSql = QStringLiteral(
    "FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
    "WHERE I.CDFILIAL = :branch AND I.CDTABEPREC = :table AND I.DTINIVGPREC = :start "
    "AND I.CDPRPAITABPR = I.CDPRODUTO "
    "AND NOT EXISTS (SELECT 1 FROM ALIQPROD A "
    "WHERE A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO)");

// Sets the approval state of one period, inside one transaction with its
// checks: releasing ("2") from any state (again on a released one changes
// nothing); approving ("4") only a confirmed ("3") one none of whose products
// lacks a tax rate; "1" and "3" as sent. An unknown state or period is
// refused.
QVariant setAlteraStatus(Context &ctx, const QVariantList &args)
{
    const QString state = args[0].toString();
    if (!QStringList{"1", "2", "3", "4"}.contains(state))
        throw ServerError(
            QStringLiteral("Situação do período de vigência inválida: %1.").arg(state));
    const QDateTime start = parseDateText(args[3], QStringLiteral("Data inicial de vigência"));
    Storage &db = ctx.storage;
    const SqlBinds key{{QStringLiteral(":branch"), args[2]},
                       {QStringLiteral(":table"), args[1]},
                       {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}};
    Transaction tx(db);
    QSqlQuery current = runQuery(db,
                                 QStringLiteral("SELECT IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = "
                                                ":branch AND CDTABEPREC = :table AND "
                                                "DTINIVGPREC = :start"),
                                 key, QStringLiteral("ler a situação do período"));
    if (!current.next()) {
        throw ServerError(QStringLiteral("Período de vigência de %1 da tabela de preço %2 não "
                                         "cadastrado.")
                              .arg(dateText(start), args[1].toString()));
    }
    const QString was = current.value(0).toString();
    current.finish();
    if (state == QLatin1String("4")) {
        if (was != QLatin1String("3")) {
            throw ServerError(QStringLiteral("Somente um período de vigência confirmado pode ser "
                                             "aprovado."));
        }
        if (queryHasRows(db, QStringLiteral("SELECT 1 ") + kProductsWithoutTaxSql, key)) {
            throw ServerError(QStringLiteral("O período de vigência possui produtos sem alíquota "
                                             "de imposto e não pode ser aprovado."));
        }
    }
    // The state checked above must still be the period's when it changes.
    const QSqlQuery update =
        runQuery(db,
                 QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = :state, DTULTALT = %1 "
                                "WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
                                "DTINIVGPREC = :start AND IDSITVGPREC = :was")
                     .arg(db.dialect().now()),
                 key + SqlBinds{{QStringLiteral(":state"), state}, {QStringLiteral(":was"), was}},
                 QStringLiteral("alterar a situação do período"));
    if (update.numRowsAffected() != 1) {
        throw ServerError(QStringLiteral("Operação recusada: outro usuário alterou o período de "
                                         "vigência. Atualize os dados e repita a operação."),
                          ErrorConflict);
    }
    tx.commit();
    return true;
}

// The products priced in the period (their own rows) that have no tax rate
// in the table's branch; approval waits until the list is empty.
QVariant getProdSemImpos(Context &ctx, const QVariantList &args)
{
    const QDateTime start = parseDateText(args[2], QStringLiteral("Data inicial de vigência"));
    PacketReader reader({{"CDFILIAL", FieldType::String, 4},
                         {"CDTABEPREC", FieldType::String, 3},
                         {"CDARVPROD", FieldType::String, 20},
                         {"NMPRODUTO", FieldType::String, 50}});
    QSqlQuery q = runQuery(
        ctx.storage,
        QStringLiteral(
            "SELECT I.CDFILIAL, I.CDTABEPREC, P.CDARVPROD, P.NMPRODUTO ") +
            kProductsWithoutTaxSql + QStringLiteral(" ORDER BY P.CDARVPROD"),
        {{QStringLiteral(":branch"), args[0]},
         {QStringLiteral(":table"), args[1]},
         {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}},
        QStringLiteral("ler produtos sem alíquota"));
    return packetResult(reader.read(q));
}

} // namespace

void registerPeriodStateMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"GetVeriVing", {A::String, A::String}, getVeriVing});
    registry.add(
        kPriceTableObject,
        {"setAlteraStatus", {A::String, A::String, A::String, A::String}, setAlteraStatus});
    registry.add(kPriceTableObject,
                 {"getProdSemImpos", {A::String, A::String, A::String}, getProdSemImpos});
}

} // namespace prx::server
