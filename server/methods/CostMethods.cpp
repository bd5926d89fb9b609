// Prices calculated from product costs, and the costs object's cost types.
#include "methods/BulkWriter.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "money/CostPrice.h"
#include "storage/BulkCopy.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <cmath>
#include <vector>

namespace prx::server {

namespace {

const QString kCostObject = QStringLiteral("cus.rdmCustProd");

// The cost types, by code, as the price calculation offers them.
QVariant getTipoCusto(Context &ctx, const QVariantList &)
{
    PacketReader reader({{QStringLiteral("CDTIPOCUSTO"), FieldType::Integer, 0},
                         {QStringLiteral("NMTIPOCUSTO"), FieldType::String, 30}});
    return packetResult(reader.read(
        ctx.storage,
        QStringLiteral("SELECT CDTIPOCUSTO, NMTIPOCUSTO FROM TIPOCUSTO ORDER BY CDTIPOCUSTO"), {},
        QStringLiteral("ler os tipos de custo")));
}

// The products a calculation covers: the leaf products of the branch's
// market segment, or those of them named in the list. A listed product
// outside that set is refused by name. Leaves the list, when there is one, in
// the selection table. `from` joins P (PRODUTO); `where` limits it.
struct Scope
{
    QString from;
    QString where;
    SqlBinds binds;

    QString sql(const QString &select, const QString &joins = {},
                const QString &conditions = {}) const
    {
        return QStringLiteral("SELECT %1 FROM %2 %3 %4 %5")
            .arg(select, from, joins, where, conditions);
    }
};

Scope costScope(const Storage &db, const QString &branch, const QString &levels,
                const QStringList *listed)
{
    QSqlQuery b = runQuery(db, QStringLiteral("SELECT CDSEGMER FROM FILIAL WHERE CDFILIAL = :b"),
                           {{QStringLiteral(":b"), branch}}, QStringLiteral("ler a filial"));
    if (!b.next())
        throw ServerError(QStringLiteral("Filial %1 não cadastrada.").arg(branch));
    const QString segment = b.value(0).toString();
    const int length = leafCodeLength(db, levels);
    Scope scope;
    scope.binds = {{QStringLiteral(":branch"), branch},
                   {QStringLiteral(":segment"), segment},
                   {QStringLiteral(":length"), length}};
    scope.from = QStringLiteral("PRODSEGMER S JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO ");
    if (listed) {
        fillSelection(db, *listed);
        QSqlQuery outside = runQuery(
            db,
            QStringLiteral("SELECT L.CDPRODUTO FROM %1 L WHERE NOT EXISTS (SELECT 1 FROM "
                           "PRODSEGMER S JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO WHERE "
                           "S.CDSEGMER = :segment AND S.CDPRODUTO = L.CDPRODUTO AND "
                           "LENGTH(P.CDARVPROD) = :length) ORDER BY L.CDPRODUTO")
                .arg(kSelectionTable),
            {{QStringLiteral(":segment"), segment}, {QStringLiteral(":length"), length}},
            QStringLiteral("verificar a lista de produtos"));
        if (outside.next()) {
            throw ServerError(
                QStringLiteral("O produto %1 não é um produto do segmento da filial %2.")
                    .arg(productLabel(db, outside.value(0).toString()), branch));
        }
        scope.from +=
            QStringLiteral("JOIN %1 L ON L.CDPRODUTO = P.CDPRODUTO ").arg(kSelectionTable);
    }
    scope.where = QStringLiteral("WHERE S.CDSEGMER = :segment AND LENGTH(P.CDARVPROD) = :length");
    return scope;
}

// The first product of the scope without a percentage for the calculation;
// empty when every one has one.
QString firstWithoutPercentage(const Storage &db, const Scope &scope)
{
    BulkReader q(db,
                 scope.sql(QStringLiteral("P.CDPRODUTO"), {},
                           QStringLiteral("AND NOT EXISTS (SELECT 1 FROM PERCCUSTO C WHERE "
                                          "C.CDFILIAL = :branch AND C.CDPRODUTO = P.CDPRODUTO) "
                                          "ORDER BY P.CDARVPROD")),
                 scope.binds, QStringLiteral("verificar os percentuais de custo"));
    return q.next() ? q.text(0) : QString();
}

// Whether every product concerned has a percentage for the cost
// calculation: those of the list, or with an empty list every leaf product
// of the branch's segment.
QVariant getPercProd(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    Transaction tx(db);
    const QStringList keys = productListKeys(args[1].toString());
    const Scope scope =
        costScope(db, args[0].toString(), args[2].toString(), keys.isEmpty() ? nullptr : &keys);
    const bool complete = firstWithoutPercentage(db, scope).isEmpty();
    tx.commit();
    return complete;
}

struct Calculated
{
    QString product;
    double price;
    double markup;
};

// price = cost × (100 + percentage) / (100 − tax rate), or / 100 without
// taxes, rounded half up to the cent once, on the exact decimals stored. The
// row holds the product, its cost, its percentage and its tax rate, each
// present (tax only needed with taxes).
Calculated calculate(const Storage &db, const BulkReader &row, bool withTaxes)
{
    const QString product = row.text(0);
    auto refuse = [&](const QString &why) -> ServerError {
        return ServerError(QStringLiteral("Cálculo recusado: %1 (produto %2).")
                               .arg(why, productLabel(db, product)));
    };
    const double cost = row.real(1), percent = row.real(2);
    const double tax = withTaxes ? row.real(3) : 0.0;
    if (!std::isfinite(cost) || !std::isfinite(percent) || !std::isfinite(tax))
        throw refuse(QStringLiteral("custo, percentual ou alíquota inválido"));
    if (cost < 0)
        throw refuse(QStringLiteral("custo negativo"));
    if (percent <= -100)
        throw refuse(QStringLiteral("percentual de custo igual ou menor que -100 %"));
    if (tax < 0 || tax >= 100)
        throw refuse(QStringLiteral("alíquota fora da faixa de 0 a 100 %"));
    const std::optional<Decimal> price = priceFromCost(cost, percent, tax);
    if (!price)
        throw refuse(QStringLiteral("preço calculado acima do valor máximo"));
    return {product, price->toDouble(), percent};
}

const QString kItemColumns = QStringLiteral(
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, IDPRECVARIA, IDPRODPROMOC, "
    "IDIMPPRODROT, VRCUSTITEM, VRMKUPITEM, DTULTALT");

// SQLite: one upsert per product, on the connection's own statement.
void writeRowByRow(const Storage &db, const SqlBinds &period,
                   const std::vector<Calculated> &results)
{
    BulkWriter writer(
        db,
        QStringLiteral("INSERT INTO ITEMPRECO (%1) VALUES (:branch, :table, :start, :c0, :c0, "
                       "'N', 'N', 'N', :c1, :c2, :stamp) ON CONFLICT (CDFILIAL, CDTABEPREC, "
                       "DTINIVGPREC, CDPRODUTO, CDPRPAITABPR) DO UPDATE SET VRCUSTITEM = "
                       "excluded.VRCUSTITEM, VRMKUPITEM = excluded.VRMKUPITEM, DTULTALT = "
                       "excluded.DTULTALT")
            .arg(kItemColumns),
        QString(), {BulkWriter::Kind::Text, BulkWriter::Kind::Real, BulkWriter::Kind::Real}, period,
        QStringLiteral("gravar os preços calculados"));
    for (const Calculated &c : results) {
        writer.text(c.product);
        writer.real(c.price);
        writer.real(c.markup);
        writer.endRow();
    }
    writer.finish();
}

// PostgreSQL: the prices go in by COPY to a scratch table, then the rows
// that exist are updated and the missing ones inserted, one statement each.
// An upsert would lock every existing row before updating it, a second write
// per row that a plain update does not pay; the transaction's lock on the
// period's rows is the same either way.
const QString kCalculatedTable = QStringLiteral("PRXPRECOCALC");

void writeByCopy(const Storage &db, const SqlBinds &period, const std::vector<Calculated> &results)
{
    db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (CDPRODUTO VARCHAR(10), "
                                 "VRCUSTITEM DOUBLE PRECISION, VRMKUPITEM DOUBLE PRECISION)")
                      .arg(kCalculatedTable));
    db.execDirect(QStringLiteral("TRUNCATE %1").arg(kCalculatedTable));
    const QString doing = QStringLiteral("gravar os preços calculados");
    {
        BulkCopy copy(db, kCalculatedTable,
                      {QStringLiteral("CDPRODUTO"), QStringLiteral("VRCUSTITEM"),
                       QStringLiteral("VRMKUPITEM")},
                      doing);
        for (const Calculated &c : results) {
            copy.text(c.product);
            copy.real(c.price);
            copy.real(c.markup);
            copy.endRow();
        }
        copy.send();
    }
    const QString sameItem = QStringLiteral(
        "I.CDFILIAL = :branch AND I.CDTABEPREC = :table AND I.DTINIVGPREC = CAST(:start AS "
        "TIMESTAMP) AND I.CDPRODUTO = C.CDPRODUTO AND I.CDPRPAITABPR = C.CDPRODUTO");
    runQuery(db,
             QStringLiteral("UPDATE ITEMPRECO AS I SET VRCUSTITEM = C.VRCUSTITEM, VRMKUPITEM = "
                            "C.VRMKUPITEM, DTULTALT = CAST(:stamp AS TIMESTAMP) FROM %1 AS C "
                            "WHERE %2")
                 .arg(kCalculatedTable, sameItem),
             period, doing);
    runQuery(db,
             QStringLiteral("INSERT INTO ITEMPRECO (%1) SELECT :branch, :table, CAST(:start AS "
                            "TIMESTAMP), C.CDPRODUTO, C.CDPRODUTO, 'N', 'N', 'N', C.VRCUSTITEM, "
                            "C.VRMKUPITEM, CAST(:stamp AS TIMESTAMP) FROM %2 AS C WHERE NOT "
                            "EXISTS (SELECT 1 FROM ITEMPRECO AS I WHERE %3)")
                 .arg(kItemColumns, kCalculatedTable, sameItem),
             period, doing);
}

// Calculates the prices of the period from the costs of one type: for each
// product in scope (the list when isList, else every leaf product of the
// branch's segment), VRCUSTITEM = cost × (1 + percentage / 100), divided by
// (1 − tax rate / 100) with taxes, rounded half up to the cent once on the
// exact stored values; VRMKUPITEM = the percentage. Only those two columns
// and the change time are written; the product's own row is created when
// missing (prices null, flags "N"). A product without a cost of the type, or
// without a tax rate when taxes are considered, is left as it was and listed
// in the answer with its reason: [rows written, products skipped, their
// packet]. Every check runs before the first write and any refusal, naming
// the product, leaves the period as it was: a product in scope without a
// percentage, a negative cost, a percentage of -100 or less, a tax rate
// outside [0, 100), a price that is not finite or too large.
QVariant setCalcPreco(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QString branch = args[0].toString();
    const QDateTime start = dateTimeArg(args[2]);
    const bool isList = args[5].toBool(), withTaxes = args[6].toBool();
    const qint64 costType = args[7].toLongLong();

    Transaction tx(db);
    if (!queryHasRows(db, QStringLiteral("SELECT 1 FROM TIPOCUSTO WHERE CDTIPOCUSTO = :t"),
                      {{QStringLiteral(":t"), costType}}))
        throw ServerError(QStringLiteral("Tipo de custo %1 não cadastrado.").arg(costType));
    requirePeriod(db, branch, args[1], start);
    QStringList keys;
    if (isList) {
        keys = productListKeys(args[4].toString());
        if (keys.isEmpty())
            throw ServerError(QStringLiteral("Produto deve ser informado."), ErrorArguments);
    }
    Scope scope = costScope(db, branch, args[3].toString(), isList ? &keys : nullptr);
    scope.binds << std::pair{QStringLiteral(":type"), QVariant(costType)};
    // One pass over the scope finds the products without a percentage, those
    // that cannot be priced and those whose prices are calculated, before
    // anything is written.
    BulkReader rows(
        db,
        scope.sql(QStringLiteral("P.CDPRODUTO, C.VRCUSTPROD, PC.VRPERCCUSTO, A.VRALIQPROD, "
                                 "P.CDARVPROD, P.NMPRODUTO"),
                  QStringLiteral("LEFT JOIN PERCCUSTO PC ON PC.CDFILIAL = :branch AND "
                                 "PC.CDPRODUTO = P.CDPRODUTO LEFT JOIN CUSTOPROD C ON "
                                 "C.CDFILIAL = :branch AND C.CDPRODUTO = P.CDPRODUTO AND "
                                 "C.CDTIPOCUSTO = :type LEFT JOIN ALIQPROD A ON "
                                 "A.CDFILIAL = :branch AND A.CDPRODUTO = P.CDPRODUTO")),
        scope.binds, QStringLiteral("ler os custos dos produtos"));
    std::vector<Calculated> results;
    SkippedProducts skipped;
    while (rows.next()) {
        if (rows.isNull(2)) {
            throw ServerError(QStringLiteral("Operação bloqueada: o produto %1 não possui "
                                             "percentual para cálculo do custo.")
                                  .arg(productLabel(db, rows.text(0))));
        }
        QString reason;
        if (rows.isNull(1))
            reason = QStringLiteral("sem custo do tipo escolhido");
        else if (withTaxes && rows.isNull(3))
            reason = QStringLiteral("sem alíquota de imposto");
        if (!reason.isEmpty())
            skipped.add(rows.text(0), rows.text(4), rows.text(5), reason);
        else
            results.push_back(calculate(db, rows, withTaxes));
    }

    const SqlBinds period = {{QStringLiteral(":branch"), branch},
                             {QStringLiteral(":table"), args[1].toString()},
                             {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
                             {QStringLiteral(":stamp"), SqlDialect::bindDateTime(db.now())}};
    if (db.dialect().isSqlite())
        writeRowByRow(db, period, results);
    else
        writeByCopy(db, period, results);
    tx.commit();
    return skipped.answer(qint64(results.size()));
}

} // namespace

void registerCostMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kCostObject, {"GetTipoCusto", {}, getTipoCusto});
    registry.add(kPriceTableObject,
                 {"GetPercProd", {A::String, A::String, A::String}, getPercProd});
    registry.add(kPriceTableObject, {"SetCalcPreco",
                                     {A::String, A::String, A::DateTime, A::String, A::String,
                                      A::Boolean, A::Boolean, A::Integer},
                                     setCalcPreco});
}

} // namespace prx::server
