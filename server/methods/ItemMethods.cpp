// Price items of a period: the product grid of the screen.
#include "methods/ItemWriter.h"
#include "methods/MethodSupport.h"
#include "methods/ProductSelection.h"
#include "storage/DeltaWriter.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QRegularExpression>

namespace prx::server {

QString itemListSql()
{
    return QStringLiteral(

        "SELECT P.NMPRODUTO, P.CDARVPROD, P.CDPRODUTO, P.CDBARPRODUTO, "
        "I.VRPRECITEM, I.VRPRECITEMDLV, I.VRPRECITEMCMD, I.VRPRECITEMCL, "
        "(SELECT COUNT(*) FROM PRODCOMP C WHERE C.CDPRODUTO = P.CDPRODUTO), "
        "I.IDPRECVARIA, I.VRPRESUGITEM, I.VRCUSTITEM, I.VRMKUPITEM, P.CDPRODUTO, "
        "I.IDPRODPROMOC, I.HRINIVENPROD, I.HRFIMVENPROD "
        "FROM PRODSEGMER S "
        "JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO "
        "LEFT JOIN ITEMPRECO I ON I.CDFILIAL = :branch AND I.CDTABEPREC = :table "
        "AND I.DTINIVGPREC = :start AND I.CDPRODUTO = P.CDPRODUTO "
        "AND I.CDPRPAITABPR = P.CDPRODUTO "
        "WHERE S.CDSEGMER = :segment AND LENGTH(P.CDARVPROD) = :length "
        "AND (:all = 'T' OR P.CDPRODUTO = :product) "
        "ORDER BY P.CDARVPROD");
}

namespace {

// Every product of the branch's market segment at the leaf level of the tree,
// joined with its own price row of the period when it has one (prices null
// otherwise). NRCOMPPROD counts the product's components; CDPRPAITABPR is the
// product itself. With `all` other than "T" only `product` is listed.
QVariant getItemPreco(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const int leafLength = leafCodeLength(db, args[3].toString());
    const QDateTime start = dateTimeArg(args[4]);

    PacketReader reader(ItemWriter::packetFields());
    reader.setConstant(QStringLiteral("CDFILIAL"), args[0]);
    reader.setConstant(QStringLiteral("CDTABEPREC"), args[1]);
    reader.setConstant(QStringLiteral("CDSEGMER"), args[2]);
    reader.setConstant(QStringLiteral("DTINIVGPREC"), start);

    // The rows are read while the answer is sent: a segment of a large chain
    // is never held whole in the server's memory.
    return streamedResult(
        reader.stream(db, itemListSql(),
                      {{QStringLiteral(":branch"), args[0]},
                       {QStringLiteral(":table"), args[1]},
                       {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
                       {QStringLiteral(":segment"), args[2]},
                       {QStringLiteral(":length"), leafLength},
                       {QStringLiteral(":all"), args[6]},
                       {QStringLiteral(":product"), args[5]}},
                      QStringLiteral("ler os itens da tabela de preço")));
}

// Names of the fields the screen found empty, each followed by "|"; those
// columns are stored as null (never as an empty text or a zero).
QStringList parseEmptyFields(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z0-9_]+\\|)*$"));
    if (!re.match(text).hasMatch()) {
        throw ServerError(QStringLiteral("Lista de campos vazios inválida: \"%1\".").arg(text),
                          ErrorArguments);
    }
    QStringList names = text.split(u'|', Qt::SkipEmptyParts);
    return names;
}

// Saves the item rows of the screen in one transaction: a row read without a
// price row (all prices null) is inserted, any other is updated where it
// still holds what was read. A product's own row always carries its own code
// as the parent.
QVariant setItemPreco(Context &ctx, const QVariantList &args)
{
    const DeltaPacket &delta = deltaArg(args[0]);
    const QStringList empty = parseEmptyFields(args[1].toString());
    Storage &db = ctx.storage;
    ItemWriter writer(db, delta);
    const int cProduct = writer.column(u"CDPRODUTO"), cParent = writer.column(u"CDPRPAITABPR");

    auto prepare = [&](DeltaRow &row) {
        for (const QString &name : empty) {
            const int c = writer.table().indexOf(name);
            if (c >= 0 && row.has(c) && !writer.table().isKey(name))
                row.values[c] = writer.nullValue(c);
        }
        if (row.text(cParent).isEmpty()) {
            row.present[cParent] = true;
            row.values[cParent] = row.values[cProduct];
        }
        if (row.text(cParent) != row.text(cProduct)) {
            throw ServerError(QStringLiteral("O produto %1 deve ter a si mesmo como produto pai.")
                                  .arg(row.text(cProduct)));
        }
        writer.checkValues(row);
    };

    return writer.applyAll(prepare);
}

// Clears the prices of one product in the period: its row and its
// differentiated prices. Clearing a product without prices changes nothing.
QVariant setApagaPreco(Context &ctx, const QVariantList &args)
{
    const QDateTime start = parseDateText(args[2], QStringLiteral("Data inicial de vigência"));
    Storage &db = ctx.storage;
    Transaction tx(db);
    int removed = 0;
    for (const char *table : {"ITEMPRECODIA", "ITEMPRECO"}) {
        const QSqlQuery q = runQuery(
            db,
            QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = :branch AND CDTABEPREC = :table AND "
                           "DTINIVGPREC = :start AND CDPRODUTO = :product AND "
                           "CDPRPAITABPR = :parent")
                .arg(QLatin1String(table)),
            {{QStringLiteral(":branch"), args[0]},
             {QStringLiteral(":table"), args[1]},
             {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
             {QStringLiteral(":product"), args[3]},
             {QStringLiteral(":parent"), args[4]}},
            QStringLiteral("limpar o preço do produto"));
        removed = q.numRowsAffected();
    }
    tx.commit();
    return removed;
}

} // namespace

void registerItemMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetItemPreco",
                  {A::String, A::String, A::String, A::String, A::DateTime, A::String, A::String},
                  getItemPreco});
    registry.add(kPriceTableObject, {"SetItemPreco", {A::Delta, A::String}, setItemPreco});
    registry.add(
        kPriceTableObject,
        {"setApagaPreco", {A::String, A::String, A::String, A::String, A::String}, setApagaPreco});
}

} // namespace prx::server
