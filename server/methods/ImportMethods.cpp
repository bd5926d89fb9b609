// Import of a validity period into another period of the same table.
//
// GetVerifItemPrecoCad yields one row (the number of price rows) when the
// period already holds prices, none otherwise.
//
// SetImportaVigencia copies the price sets of the origin period into the
// destination period. Both periods must exist in the table, have an end and
// differ. With overwrite every product the origin prices replaces its set in
// the destination; without it only products the destination does not price
// at all are inserted. Differentiated prices whose validity covers the whole
// origin period cover the whole destination period; the others move by the
// distance between the two starts and are cut to the destination period
// (those left wholly outside it are not copied; an open validity end closes
// with the period), so no copied row lies outside its period; two rows cut to
// the same start refuse the call, naming the products. Only products the branch's
// segment sells are written; the destination period's dates and state stay
// as they are, so into an approved one only products with a tax rate in
// the branch go (otherwise the call is refused, naming them). One
// transaction, every check before the first write; the same call twice gives
// the same rows.
#include "methods/PriceSetCopy.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

QVariant getVerifItemPrecoCad(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{"QTITEM", FieldType::Integer, 0}});
    QSqlQuery q =
        runQuery(ctx.storage,
                 QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = :branch AND "
                                "CDTABEPREC = :table AND DTINIVGPREC = :start HAVING COUNT(*) > 0"),
                 {{QStringLiteral(":branch"), args[0]},
                  {QStringLiteral(":table"), args[1]},
                  {QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(args[2]))}},
                 QStringLiteral("verificar os preços do período"));
    return packetResult(reader.read(q));
}

Period requirePeriod(const QList<Period> &periods, const QDateTime &start, const QString &what)
{
    for (const Period &p : periods) {
        if (p.start == start) {
            if (!p.end.isValid()) {
                throw ServerError(QStringLiteral("Vigência de %1 (%2) sem data final.")
                                      .arg(what, dateText(start)));
            }
            return p;
        }
    }
    throw ServerError(QStringLiteral("Vigência de %1 não cadastrada.").arg(what));
}

QVariant setImportaVigencia(Context &ctx, const QVariantList &args)
{
    const QString branch = args[0].toString(), table = args[1].toString();
    const QDateTime originStart = dateTimeArg(args[2]), targetStart = dateTimeArg(args[3]);
    const bool overwrite = args[5].toBool();
    Storage &db = ctx.storage;
    Transaction tx(db);
    if (!tableExists(db, branch, table)) {
        throw ServerError(
            QStringLiteral("Tabela de preço %1 da filial %2 não cadastrada.").arg(table, branch));
    }
    const QList<Period> periods = tablePeriods(db, branch, table);
    const Period origin = requirePeriod(periods, originStart, QStringLiteral("origem"));
    const Period target = requirePeriod(periods, targetStart, QStringLiteral("destino"));
    if (origin.start == target.start) {
        throw ServerError(
            QStringLiteral("Vigência de origem deve ser diferente da vigência de destino."));
    }
    const PriceSetCopy copier(db, {overwrite, true, QString(), QStringLiteral("importado")});
    const PriceSetCopy::Side source{branch, table, origin};
    const PriceSetCopy::Target into{{branch, table, target}, branchSegment(db, branch)};
    copier.check(source, into);
    copier.copy(source, into);
    tx.commit();
    return true;
}

} // namespace

void registerImportMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(
        kPriceTableObject,
        {"GetVerifItemPrecoCad", {A::String, A::String, A::DateTime}, getVerifItemPrecoCad});
    registry.add(kPriceTableObject,
                 {"SetImportaVigencia",
                  {A::String, A::String, A::DateTime, A::DateTime, A::DateTime, A::Boolean},
                  setImportaVigencia});
}

} // namespace prx::server
