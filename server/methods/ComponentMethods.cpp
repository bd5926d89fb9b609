// Prices of the components of a composite product inside a period.
#include "methods/ItemWriter.h"
#include "methods/MethodSupport.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"

namespace prx::server {

namespace {

// Every component of the product with its quantity, joined with its price
// row of the period under that product (prices null when it has none).
QVariant getItemPrecoComp(Context &ctx, const QVariantList &args)
{
    const QDateTime start = dateTimeArg(args[3]);
    PacketReader reader({{"NMPRODUTO", FieldType::String, 50},
                         {"CDARVPROD", FieldType::String, 20},
                         {"CDPRODUTO", FieldType::String, 10},
                         {"VRPRECITEM", FieldType::Float, 0},
                         {"VRPRECITEMCL", FieldType::Float, 0},
                         {"CDPRPAITABPR", FieldType::String, 10},
                         {"DTINIVGPREC", FieldType::DateTime, 0},
                         {"IDIMPPRODROT", FieldType::String, 1},
                         {"QUANTIDADE", FieldType::Float, 0},
                         {"CDFILIAL", FieldType::String, 4},
                         {"CDTABEPREC", FieldType::String, 3}});
    reader.setConstant(QStringLiteral("CDPRPAITABPR"), args[2]);
    reader.setConstant(QStringLiteral("DTINIVGPREC"), start);
    reader.setConstant(QStringLiteral("CDFILIAL"), args[0]);
    reader.setConstant(QStringLiteral("CDTABEPREC"), args[1]);
    QSqlQuery q =
        runQuery(ctx.storage,
                 QStringLiteral(
                     "SELECT P.NMPRODUTO, P.CDARVPROD, P.CDPRODUTO, I.VRPRECITEM, I.VRPRECITEMCL, "
                     "I.IDIMPPRODROT, C.QTPRODCOMP "
                     "FROM PRODCOMP C JOIN PRODUTO P ON P.CDPRODUTO = C.CDPRODCOMP "
                     "LEFT JOIN ITEMPRECO I ON I.CDFILIAL = :branch AND I.CDTABEPREC = :table "
                     "AND I.DTINIVGPREC = :start AND I.CDPRODUTO = C.CDPRODCOMP "
                     "AND I.CDPRPAITABPR = C.CDPRODUTO "
                     "WHERE C.CDPRODUTO = :product ORDER BY P.CDARVPROD"),
                 {{QStringLiteral(":branch"), args[0]},
                  {QStringLiteral(":table"), args[1]},
                  {QStringLiteral(":start"), SqlDialect::bindDateTime(start)},
                  {QStringLiteral(":product"), args[2]}},
                 QStringLiteral("ler os componentes do produto"));
    return packetResult(reader.read(q));
}

// Saves component prices in one transaction, like the item rows: each row
// must be a component of its parent product, and the branch must allow
// prices of components (IDPRECDIFCOM not "N"); the quantity is the
// product's and is not saved here.
QVariant setItemPrecoComp(Context &ctx, const QVariantList &args)
{
    const DeltaPacket &delta = deltaArg(args[0]);
    Storage &db = ctx.storage;
    ItemWriter writer(db, delta);
    const int cProduct = writer.column(u"CDPRODUTO"), cParent = writer.column(u"CDPRPAITABPR");
    const int cBranch = writer.column(u"CDFILIAL");

    auto prepare = [&](DeltaRow &row) {
        if (queryHasRows(db,
                         QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = :branch AND "
                                        "IDPRECDIFCOM = 'N'"),
                         {{QStringLiteral(":branch"), row.text(cBranch)}})) {
            throw ServerError(QStringLiteral("A filial %1 não permite preços de componentes.")
                                  .arg(row.text(cBranch)));
        }
        if (!queryHasRows(db,
                          QStringLiteral("SELECT 1 FROM PRODCOMP WHERE CDPRODUTO = :parent AND "
                                         "CDPRODCOMP = :product"),
                          {{QStringLiteral(":parent"), row.text(cParent)},
                           {QStringLiteral(":product"), row.text(cProduct)}})) {
            throw ServerError(QStringLiteral("O produto %1 não é componente do produto %2.")
                                  .arg(row.text(cProduct), row.text(cParent)));
        }
        writer.checkValues(row);
    };

    return writer.applyAll(prepare);
}

} // namespace

void registerComponentMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(
        kPriceTableObject,
        {"GetItemPrecoComp", {A::String, A::String, A::String, A::DateTime}, getItemPrecoComp});
    registry.add(kPriceTableObject, {"SetItemPrecoComp", {A::Delta}, setItemPrecoComp});
}

} // namespace prx::server
