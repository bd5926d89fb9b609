// Differentiated prices by day, hour and consumer type.
#include "methods/MethodSupport.h"
#include "storage/DeltaWriter.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

namespace prx::server {

namespace {

// Every differentiated price of the period, all products, in key order, with
// the consumer type's name.
QVariant getPrecoHora(Context &ctx, const QVariantList &args)
{
    const SqlDialect &d = ctx.storage.dialect();
    const QDateTime start = dateTimeArg(args[2]);
    PacketReader reader(
        {{"CDFILIAL", FieldType::String, 4},       {"CDTABEPREC", FieldType::String, 3},
         {"DTINIVGPREC", FieldType::DateTime, 0},  {"CDPRPAITABPR", FieldType::String, 10},
         {"CDPRODUTO", FieldType::String, 10},     {"NRDIASEMANPR", FieldType::String, 1},
         {"IDPERVALORPR", FieldType::String, 1},   {"IDDESCACREPR", FieldType::String, 1},
         {"HRINIPRECDIA", FieldType::String, 4},   {"HRFINPRECDIA", FieldType::String, 4},
         {"VRPRECODIA", FieldType::Float, 0},      {"DTINIVALPREC", FieldType::DateTime, 0},
         {"DTFINVALPREC", FieldType::DateTime, 0}, {"CDTIPOCONSPD", FieldType::String, 2},
         {"IDVISUACUPOM", FieldType::String, 1},   {"NMTIPOCONS", FieldType::String, 20},
         {"PRECO", FieldType::Float, 0},           {"VRPRECODIADLV", FieldType::Float, 0},
         {"VRPRECODIACMD", FieldType::Float, 0},   {"IDTPMODGERAL", FieldType::String, 1},
         {"IDTPMODDLV", FieldType::String, 1},     {"IDTPMODCMD", FieldType::String, 1},
         {"PRECODLV", FieldType::Float, 0},        {"PRECOCMD", FieldType::Float, 0}});
    reader.setConstant(QStringLiteral("CDFILIAL"), args[0]);
    reader.setConstant(QStringLiteral("CDTABEPREC"), args[1]);
    reader.setConstant(QStringLiteral("DTINIVGPREC"), start);
    return packetResult(reader.read(
        ctx.storage,
        QStringLiteral(
            "SELECT D.CDPRPAITABPR, D.CDPRODUTO, D.NRDIASEMANPR, D.IDPERVALORPR, "
            "D.IDDESCACREPR, D.HRINIPRECDIA, D.HRFINPRECDIA, D.VRPRECODIA, %1, %2, "
            "D.CDTIPOCONSPD, D.IDVISUACUPOM, T.NMTIPOCONS, D.PRECO, D.VRPRECODIADLV, "
            "D.VRPRECODIACMD, D.IDTPMODGERAL, D.IDTPMODDLV, D.IDTPMODCMD, D.PRECODLV, "
            "D.PRECOCMD "
            "FROM ITEMPRECODIA D LEFT JOIN TIPOCONS T ON T.CDTIPOCONS = D.CDTIPOCONSPD "
            "WHERE D.CDFILIAL = :branch AND D.CDTABEPREC = :table AND D.DTINIVGPREC = :start "
            "ORDER BY D.CDPRODUTO, D.CDPRPAITABPR, D.CDTIPOCONSPD, D.NRDIASEMANPR, "
            "D.HRINIPRECDIA, D.HRFINPRECDIA, D.DTINIVALPREC")
            .arg(d.selectDateTime(QStringLiteral("D.DTINIVALPREC")),
                 d.selectDateTime(QStringLiteral("D.DTFINVALPREC"))),
        {{QStringLiteral(":branch"), args[0]},
         {QStringLiteral(":table"), args[1]},
         {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}},
        QStringLiteral("ler os preços diferenciados")));
}

void requireCode(const DeltaRow &row, int column, const QString &name, const QStringList &codes)
{
    const QString v = row.text(column);
    if (!v.isEmpty() && !codes.contains(v)) {
        throw ServerError(QStringLiteral("Valor inválido para o campo %1: \"%2\".").arg(name, v),
                          ErrorArguments);
    }
}

// Saves differentiated prices in one transaction. A new one needs the
// product's price row in the period and a key (product, consumer type, day,
// hours, validity start) not yet used; codes, hours and validity dates are
// checked so that no row the screen cannot show gets stored.
QVariant setPrecoHora(Context &ctx, const QVariantList &args)
{
    const DeltaPacket &delta = deltaArg(args[0]);
    Storage &db = ctx.storage;
    const TableDef &def = Schema::table(u"ITEMPRECODIA");
    auto col = [&](const char16_t *name) { return def.indexOf(name); };
    const int cProduct = col(u"CDPRODUTO"), cDay = col(u"NRDIASEMANPR");
    const int cHourFrom = col(u"HRINIPRECDIA"), cHourTo = col(u"HRFINPRECDIA");
    const int cValidFrom = col(u"DTINIVALPREC"), cValidTo = col(u"DTFINVALPREC");
    const int cConsumer = col(u"CDTIPOCONSPD");
    DeltaWriter writer(db, def, delta, [&](const DeltaRow &row) {
        return QStringLiteral("o preço diferenciado do produto %1 (dia %2, %3 a %4)")
            .arg(row.text(cProduct), row.text(cDay), row.text(cHourFrom), row.text(cHourTo));
    });
    const QString alreadyThere =
        QStringLiteral("Preço diferenciado já cadastrado para os dados informados.");

    auto check = [&](const DeltaRow &row) {
        requireCode(row, cDay, QStringLiteral("NRDIASEMANPR"),
                    {"1", "2", "3", "4", "5", "6", "7", "V", "F", "T"});
        requireCode(row, col(u"IDPERVALORPR"), QStringLiteral("IDPERVALORPR"), {"P", "V"});
        requireCode(row, col(u"IDDESCACREPR"), QStringLiteral("IDDESCACREPR"), {"D", "A"});
        for (const char16_t *flag :
             {u"IDVISUACUPOM", u"IDTPMODGERAL", u"IDTPMODDLV", u"IDTPMODCMD"})
            requireCode(row, col(flag), QString::fromUtf16(flag), {"S", "N"});
        for (int c : {cHourFrom, cHourTo}) {
            const QString v = row.text(c);
            if (!isValidHour(v)) {
                throw ServerError(
                    QStringLiteral("'%1'  Não é hora válida.").arg(v.left(2) + u':' + v.mid(2)));
            }
        }
        if (row.text(cHourFrom) > row.text(cHourTo))
            throw ServerError(QStringLiteral("Hora Inicial deve ser menor que a Hora Final."));
        if (!row.isNull(cValidTo) && row.text(cValidFrom) > row.text(cValidTo)) {
            throw ServerError(QStringLiteral(
                "Data final de validade deve ser maior que a data inicial de validade."));
        }
        const QString consumer = row.text(cConsumer);
        if (consumer != u"T" &&
            !queryHasRows(db, QStringLiteral("SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = :code"),
                          {{QStringLiteral(":code"), consumer}}))
            throw ServerError(QStringLiteral("Tipo Consumidor não cadastrado."));
    };
    auto sameKey = [&](const DeltaRow &a, const DeltaRow &b) {
        for (const QString &k : def.primaryKey) {
            if (a.text(def.indexOf(k)) != b.text(def.indexOf(k)))
                return false;
        }
        return true;
    };

    Transaction tx(db);
    for (const DeltaChange &change : delta.changes) {
        switch (change.kind) {
        case ChangeKind::Insert: {
            const DeltaRow row = writer.currentRow(change);
            check(row);
            QStringList terms;
            SqlBinds binds;
            for (const char16_t *k :
                 {u"CDFILIAL", u"CDTABEPREC", u"DTINIVGPREC", u"CDPRODUTO", u"CDPRPAITABPR"}) {
                const QString name = QString::fromUtf16(k);
                terms << QStringLiteral("%1 = :%1").arg(name);
                binds.append({u':' + name, row.values[col(k)]});
            }
            if (!queryHasRows(db,
                              QStringLiteral("SELECT 1 FROM ITEMPRECO WHERE ") +
                                  terms.join(QStringLiteral(" AND ")),
                              binds))
                throw ServerError(QStringLiteral("Preço do produto não está cadastrado."));
            if (!writer.insert(row))
                throw ServerError(alreadyThere);
            break;
        }
        case ChangeKind::Update: {
            const DeltaRow original = writer.originalRow(change);
            const DeltaRow current = writer.currentRow(change);
            check(current);
            if (!sameKey(original, current) && writer.exists(current))
                throw ServerError(alreadyThere);
            writer.updateOrConflict(original, current);
            break;
        }
        case ChangeKind::Delete: {
            const DeltaRow original = writer.originalRow(change);
            writer.removeOrConflict(original);
            break;
        }
        }
    }
    tx.commit();
    return int(delta.changes.size());
}

} // namespace

void registerDayPriceMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetPrecoHora", {A::String, A::String, A::DateTime}, getPrecoHora});
    registry.add(kPriceTableObject, {"SetPrecoHora", {A::Delta}, setPrecoHora});
}

} // namespace prx::server
