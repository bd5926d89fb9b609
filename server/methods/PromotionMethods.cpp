// Promotion marks and name prefixes of a selection of a period's products.
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "storage/PacketReader.h"
#include "storage/Schema.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

// The own price rows of the period (I is ITEMPRECO).
const QString kOwnRows =
    QStringLiteral("I.CDFILIAL = :branch AND I.CDTABEPREC = :table AND I.DTINIVGPREC = :start AND "
                   "I.CDPRPAITABPR = I.CDPRODUTO");

SqlBinds periodBinds(const QVariantList &args, int at)
{
    return {{QStringLiteral(":branch"), args[at]},
            {QStringLiteral(":table"), args[at + 1]},
            {QStringLiteral(":start"), SqlDialect::bindDateTime(dateTimeArg(args[at + 2]))}};
}

PacketReader periodProducts(bool marked)
{
    QList<FieldDef> fields{{QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                           {QStringLiteral("CDARVPROD"), FieldType::String, 20},
                           {QStringLiteral("NMPRODUTO"), FieldType::String, 50}};
    if (marked)
        fields.prepend({QStringLiteral("IDMARCADO"), FieldType::String, 1});
    PacketReader reader(fields);
    if (marked)
        reader.setConstant(QStringLiteral("IDMARCADO"), QVariant());
    return reader;
}

QString periodProductsSql(const QString &condition = {})
{
    return QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM ITEMPRECO I "
                          "JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO WHERE %1 %2 "
                          "ORDER BY P.CDARVPROD")
        .arg(kOwnRows, condition);
}

// The products of the period's own price rows, unmarked, for the list choice.
QVariant getAutItemPreco(Context &ctx, const QVariantList &args)
{
    return packetResult(periodProducts(true).read(ctx.storage, periodProductsSql(),
                                                  periodBinds(args, 0),
                                                  QStringLiteral("ler os produtos da vigência")));
}

// The product of the period with this tree code; no row when the code is not
// one of the period's products.
QVariant getProdValid(Context &ctx, const QVariantList &args)
{
    SqlBinds binds = periodBinds(args, 0);
    binds << std::pair{QStringLiteral(":code"), args[3]};
    return packetResult(periodProducts(false).read(
        ctx.storage, periodProductsSql(QStringLiteral("AND P.CDARVPROD = :code")), binds,
        QStringLiteral("validar o produto")));
}

// Which products a call means, as a condition on a product-code column:
// every one ("T"), the listed ones (loaded into the selection table), or the
// tree codes from initial to final.
struct Selection
{
    QString condition; // holds %1 for the column
    SqlBinds binds;

    QString on(const QString &column) const
    {
        return QString(condition).replace(QStringLiteral("%1"), column);
    }
};

Selection selection(const Storage &db, const QString &all, const QString &initial,
                    const QString &final, const QStringList *listed)
{
    if (all == u"T")
        return {QStringLiteral("1 = 1"), {}};
    if (listed) {
        if (listed->isEmpty())
            throw ServerError(QStringLiteral("Produto deve ser informado."), ErrorArguments);
        fillSelection(db, *listed);
        return {QStringLiteral("%1 IN (SELECT CDPRODUTO FROM %2)").arg(u"%1", kSelectionTable), {}};
    }
    if (initial.trimmed().isEmpty() || final.trimmed().isEmpty()) {
        throw ServerError(QStringLiteral("Produto inicial e produto final devem ser informados."),
                          ErrorArguments);
    }
    if (initial > final) {
        throw ServerError(
            QStringLiteral("Produto inicial deve ser menor ou igual que produto final."),
            ErrorArguments);
    }
    return {QStringLiteral("%1 IN (SELECT CDPRODUTO FROM PRODUTO WHERE CDARVPROD BETWEEN "
                           ":initial AND :final)"),
            {{QStringLiteral(":initial"), initial}, {QStringLiteral(":final"), final}}};
}

// Marks the own price rows of the selection as promotional ("S") or not
// ("N"); nothing is created, rows that already hold the mark are left as
// they are. The selection is every product ("T"), the products of the packet
// (or of the list text) when isList, else the tree codes from initial to
// final.
QVariant setUpdItemPrecoAlt(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QString mark = args[0].toString();
    if (mark != u"S" && mark != u"N") {
        throw ServerError(QStringLiteral("Indicador de promoção inválido: \"%1\".").arg(mark),
                          ErrorArguments);
    }
    Transaction tx(db);
    requirePeriod(db, args[7], args[8], dateTimeArg(args[9]));
    QStringList listed;
    if (args[6].toBool()) {
        const DataPacketPtr packet = args[5].value<DataPacketPtr>();
        const int c = packet ? packet->indexOf(u"CDPRODUTO") : -1;
        for (int r = 0; c >= 0 && r < packet->rowCount(); ++r) {
            if (!packet->isNull(r, c))
                listed << packet->string(r, c).trimmed();
        }
        if (listed.isEmpty())
            listed = productListKeys(args[3].toString());
    }
    const Selection sel = selection(db, args[4].toString(), args[1].toString(), args[2].toString(),
                                    args[6].toBool() ? &listed : nullptr);
    SqlBinds binds = periodBinds(args, 7) + sel.binds;
    binds << std::pair{QStringLiteral(":mark"), mark}
          << std::pair{QStringLiteral(":stamp"), SqlDialect::bindDateTime(db.now())};
    const QSqlQuery q = runQuery(
        db,
        QStringLiteral("UPDATE ITEMPRECO SET IDPRODPROMOC = :mark, DTULTALT = :stamp WHERE "
                       "CDFILIAL = :branch AND CDTABEPREC = :table AND DTINIVGPREC = :start AND "
                       "CDPRPAITABPR = CDPRODUTO AND %1 AND "
                       "(IDPRODPROMOC IS NULL OR IDPRODPROMOC <> :mark)")
            .arg(sel.on(QStringLiteral("CDPRODUTO"))),
        binds, QStringLiteral("alterar a promoção dos produtos"));
    const int changed = q.numRowsAffected();
    tx.commit();
    return changed;
}

// The prefix methods take the prefix and the selection as SetUpdItemPrecoAlt
// does (initial, final, list text, all), then optionally the period (branch,
// table, start). A name lives in PRODUTO, so every branch sees it: adding
// renames only promotional products, those of the selection whose own price
// row in the period is marked "S" (without a period: marked "S" in a period
// that has not ended). Clearing acts on every product of the selection (with a
// period, on those with an own row there), so that a prefix left on a product
// out of promotion can be taken away. The screen adds after the promotion
// marks are set and clears before they are taken away.
QVariant changePrefix(Context &ctx, const QVariantList &args, bool add)
{
    const Storage &db = ctx.storage;
    const QString prefix = args[0].toString();
    if (prefix.trimmed().isEmpty())
        throw ServerError(QStringLiteral("Prefixo deve ser informado."), ErrorArguments);
    const bool withPeriod = args.size() > 5;
    if (withPeriod && args.size() != 8) {
        throw ServerError(QStringLiteral("A vigência deve ser informada por filial, tabela e "
                                         "data inicial."),
                          ErrorArguments);
    }
    Transaction tx(db);
    if (withPeriod)
        requirePeriod(db, args[5], args[6], dateTimeArg(args[7]));
    const QString all = args[4].toString();
    const QStringList listed = productListKeys(args[3].toString());
    const bool useList = all != u"T" && !args[3].toString().trimmed().isEmpty();
    const Selection sel =
        selection(db, all, args[1].toString(), args[2].toString(), useList ? &listed : nullptr);
    SqlBinds binds = sel.binds;
    binds << std::pair{QStringLiteral(":prefix"), prefix}
          << std::pair{QStringLiteral(":length"), int(prefix.size())};
    QString products = QStringLiteral("1 = 1");
    if (withPeriod) {
        binds += periodBinds(args, 5);
        products =
            QStringLiteral("CDPRODUTO IN (SELECT I.CDPRODUTO FROM ITEMPRECO I WHERE %1%2)")
                .arg(kOwnRows, add ? QStringLiteral(" AND I.IDPRODPROMOC = 'S'") : QString());
    } else if (add) {
        binds << std::pair{QStringLiteral(":today"),
                           SqlDialect::bindDateTime(wallClock(db.now().date()))};
        products = QStringLiteral(
            "CDPRODUTO IN (SELECT I.CDPRODUTO FROM ITEMPRECO I JOIN TABEVEND V ON "
            "V.CDFILIAL = I.CDFILIAL AND V.CDTABEPREC = I.CDTABEPREC AND "
            "V.DTINIVGPREC = I.DTINIVGPREC WHERE I.CDPRPAITABPR = I.CDPRODUTO AND "
            "I.IDPRODPROMOC = 'S' AND (V.DTFINVGPREC IS NULL OR V.DTFINVGPREC >= :today))");
    }
    // Names that do (clearing) or do not (adding) start with the prefix yet,
    // so that running it twice changes nothing more.
    const QString where = QStringLiteral("%1 AND %2 AND SUBSTR(NMPRODUTO, 1, :length) %3 :prefix")
                              .arg(products, sel.on(QStringLiteral("CDPRODUTO")),
                                   add ? QStringLiteral("<>") : QStringLiteral("="));
    if (add) {
        const TableDef &table = Schema::table(u"PRODUTO");
        const int width = table.column(table.indexOf(u"NMPRODUTO")).size;
        SqlBinds check = binds;
        check << std::pair{QStringLiteral(":width"), width};
        QSqlQuery tooLong =
            runQuery(db,
                     QStringLiteral("SELECT CDPRODUTO FROM PRODUTO WHERE %1 AND "
                                    "LENGTH(NMPRODUTO) + :length > :width ORDER BY CDARVPROD")
                         .arg(where),
                     check, QStringLiteral("verificar o tamanho dos nomes"));
        if (tooLong.next()) {
            throw ServerError(QStringLiteral("O nome do produto %1 passaria de %2 caracteres com "
                                             "o prefixo; nenhum nome foi alterado.")
                                  .arg(productLabel(db, tooLong.value(0).toString()))
                                  .arg(width));
        }
    }
    const QSqlQuery q =
        runQuery(db,
                 QStringLiteral("UPDATE PRODUTO SET NMPRODUTO = %1 WHERE %2")
                     .arg(add ? QStringLiteral(":prefix || NMPRODUTO")
                              : QStringLiteral("SUBSTR(NMPRODUTO, :length + 1)"),
                          add ? where : where + QStringLiteral(" AND LENGTH(NMPRODUTO) > :length")),
                 binds, QStringLiteral("alterar o nome dos produtos"));
    const int changed = q.numRowsAffected();
    tx.commit();
    return changed;
}

// Adds the prefix to the names that do not start with it yet.
QVariant setAddPrefixo(Context &ctx, const QVariantList &args)
{
    return changePrefix(ctx, args, true);
}

// Removes the prefix from the names it leads (a name that is only the
// prefix keeps it: a product never loses its whole name).
QVariant setDelPrefixo(Context &ctx, const QVariantList &args)
{
    return changePrefix(ctx, args, false);
}

} // namespace

void registerPromotionMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetAutItemPreco", {A::String, A::String, A::DateTime}, getAutItemPreco});
    registry.add(kPriceTableObject,
                 {"GetProdValid", {A::String, A::String, A::DateTime, A::String}, getProdValid});
    const QList<A> prefixArgs = {A::String, A::String, A::String, A::String,
                                 A::String, A::String, A::String, A::DateTime};
    // The period after the five arguments is optional.
    registry.add(kPriceTableObject, {"SetAddPrefixo", prefixArgs, setAddPrefixo, 5});
    registry.add(kPriceTableObject, {"SetDelPrefixo", prefixArgs, setDelPrefixo, 5});
    registry.add(kPriceTableObject, {"SetUpdItemPrecoAlt",
                                     {A::String, A::String, A::String, A::String, A::String,
                                      A::DataPacket, A::Boolean, A::String, A::String, A::DateTime},
                                     setUpdItemPrecoAlt});
}

} // namespace prx::server
