// Branches and the price tables of a branch.
#include "methods/MethodSupport.h"
#include "storage/DeltaWriter.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

// Every branch when `all` is "T", else the one code (an empty packet when it
// does not exist). Segment and product group come as "code - name" texts.
QVariant getFilial(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{"CDFILIAL", FieldType::String, 4},
                         {"NMFILIAL", FieldType::String, 30},
                         {"CDSEGMER", FieldType::String, 5},
                         {"SEGMENTO", FieldType::String, 48},
                         {"IDPRECDIFCOM", FieldType::String, 1},
                         {"CDGRPRODPDV", FieldType::String, 10},
                         {"GRUPOPROD", FieldType::String, 53},
                         {"IDUTMODPRODFIL", FieldType::String, 1}});
    QSqlQuery q = runQuery(
        ctx.storage,
        QStringLiteral(
            "SELECT F.CDFILIAL, F.NMFILIAL, F.CDSEGMER, S.CDSEGMER || ' - ' || S.NMSEGMER, "
            "F.IDPRECDIFCOM, F.CDGRPRODPDV, G.CDGRPRODPDV || ' - ' || G.NMGRPRODPDV, "
            "F.IDUTMODPRODFIL "
            "FROM FILIAL F "
            "LEFT JOIN SEGMER S ON S.CDSEGMER = F.CDSEGMER "
            "LEFT JOIN GRUPOPROD G ON G.CDGRPRODPDV = F.CDGRPRODPDV "
            "WHERE F.CDFILIAL = :code OR :all = 'T' "
            "ORDER BY F.CDFILIAL"),
        {{QStringLiteral(":code"), args[0]}, {QStringLiteral(":all"), args[1]}},
        QStringLiteral("ler filiais"));
    return packetResult(reader.read(q));
}

// The tables of a branch, by code.
QVariant getTabePrec(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{"CDFILIAL", FieldType::String, 4},
                         {"CDTABEPREC", FieldType::String, 3},
                         {"NMTABEPREC", FieldType::String, 20}});
    QSqlQuery q =
        runQuery(ctx.storage,
                 QStringLiteral("SELECT CDFILIAL, CDTABEPREC, NMTABEPREC FROM TABEPREC "
                                "WHERE CDFILIAL = :branch ORDER BY CDTABEPREC"),
                 {{QStringLiteral(":branch"), args[0]}}, QStringLiteral("ler tabelas de preço"));
    return packetResult(reader.read(q));
}

// A row when the branch already has a table with that code.
QVariant getVerifTabePrec(Context &ctx, const QVariantList &args)
{
    PacketReader reader({{"CDTABEPREC", FieldType::String, 3}});
    QSqlQuery q = runQuery(
        ctx.storage,
        QStringLiteral(
            "SELECT CDTABEPREC FROM TABEPREC WHERE CDFILIAL = :branch AND CDTABEPREC = :table"),
        {{QStringLiteral(":branch"), args[0]}, {QStringLiteral(":table"), args[1]}},
        QStringLiteral("verificar tabela de preço"));
    return packetResult(reader.read(q));
}

bool tableHasPeriods(const Storage &storage, const QString &branch, const QString &table)
{
    return queryHasRows(storage,
                        QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = :branch AND "
                                       "CDTABEPREC = :table"),
                        {{QStringLiteral(":branch"), branch}, {QStringLiteral(":table"), table}});
}

// Inserts, renames and deletes tables in one transaction. A table is deleted
// only when it has no periods and no assignment left; a new code that exists
// is refused; a saved code never changes.
QVariant setTabePrec(Context &ctx, const QVariantList &args)
{
    const DeltaPacket &delta = deltaArg(args[0]);
    Storage &db = ctx.storage;
    const TableDef &def = Schema::table(u"TABEPREC");
    DeltaWriter writer(db, def, delta, [&](const DeltaRow &row) {
        return QStringLiteral("a tabela de preço %1 da filial %2")
            .arg(row.text(def.indexOf(u"CDTABEPREC")), row.text(def.indexOf(u"CDFILIAL")));
    });
    writer.setKeyFixed(true);
    const int cBranch = writer.column(u"CDFILIAL");
    const int cTable = writer.column(u"CDTABEPREC");
    const int cName = writer.column(u"NMTABEPREC");
    auto requireName = [&](const DeltaRow &row) {
        if (row.has(cName) && row.text(cName).trimmed().isEmpty())
            throw ServerError(QStringLiteral("Nome deve ser informado."));
    };

    Transaction tx(db);
    for (const DeltaChange &change : delta.changes) {
        switch (change.kind) {
        case ChangeKind::Insert: {
            const DeltaRow row = writer.currentRow(change);
            if (row.text(cTable).trimmed().isEmpty())
                throw ServerError(QStringLiteral("Código deve ser informado."));
            requireName(row);
            if (!queryHasRows(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = :branch"),
                              {{QStringLiteral(":branch"), row.text(cBranch)}}))
                throw ServerError(QStringLiteral("Filial não cadastrada."));
            if (!writer.insert(row))
                throw ServerError(QStringLiteral("Tabela de preço já cadastrada."));
            break;
        }
        case ChangeKind::Update: {
            const DeltaRow current = writer.currentRow(change);
            requireName(current);
            writer.updateOrConflict(writer.originalRow(change), current);
            break;
        }
        case ChangeKind::Delete: {
            const DeltaRow row = writer.originalRow(change);
            const QString branch = row.text(cBranch), table = row.text(cTable);
            if (tableHasPeriods(db, branch, table)) {
                throw ServerError(
                    QStringLiteral(
                        "A tabela de preço %1 possui períodos de vigência e não pode ser excluída. "
                        "Exclua antes os seus períodos.")
                        .arg(table));
            }
            if (tableIsAssigned(db, branch, table)) {
                throw ServerError(QStringLiteral("A tabela de preço %1 está parametrizada por "
                                                 "cliente, loja ou filial e não pode ser excluída.")
                                      .arg(table));
            }
            writer.removeOrConflict(row);
            break;
        }
        }
    }
    tx.commit();
    return int(delta.changes.size());
}

} // namespace

void registerBranchMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"GetFilial", {A::String, A::String}, getFilial});
    registry.add(kPriceTableObject, {"GetTabePrec", {A::String}, getTabePrec});
    registry.add(kPriceTableObject, {"GetVerifTabePrec", {A::String, A::String}, getVerifTabePrec});
    registry.add(kPriceTableObject, {"SetTabePrec", {A::Delta}, setTabePrec});
}

} // namespace prx::server
