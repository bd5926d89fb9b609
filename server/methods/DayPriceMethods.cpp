// Differentiated prices by day, hour and consumer type.
#include "methods/DayPriceRecompute.h"
#include "methods/MethodSupport.h"
#include "money/DayPrice.h"
#include "storage/DeltaWriter.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QLocale>

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
    return streamedResult(reader.stream(
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

// The differentiated prices registered with exactly these ten key values.
// Only an equal key clashes: overlapping hours, every day against one day or
// every consumer type against one are different prices that the sale
// resolves, not duplicates.
QVariant getVdModalidade(Context &ctx, const QVariantList &args)
{
    static const char *const names[] = {
        "CDFILIAL",     "CDTABEPREC",   "DTINIVGPREC",  "CDPRODUTO",    "CDPRPAITABPR",
        "CDTIPOCONSPD", "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"};
    QStringList terms;
    SqlBinds binds;
    for (int i = 0; i < 10; ++i) {
        const QString name = QString::fromLatin1(names[i]);
        terms << QStringLiteral("%1 = :%1").arg(name);
        const bool date = i == 2 || i == 9;
        binds.append({u':' + name, date ? SqlDialect::bindDateTime(dateTimeArg(args[i]))
                                        : QVariant(args[i].toString())});
    }
    PacketReader reader({{"CDPRODUTO", FieldType::String, 10},
                         {"CDTIPOCONSPD", FieldType::String, 2},
                         {"NRDIASEMANPR", FieldType::String, 1},
                         {"HRINIPRECDIA", FieldType::String, 4},
                         {"HRFINPRECDIA", FieldType::String, 4}});
    return packetResult(reader.read(
        ctx.storage,
        QStringLiteral("SELECT CDPRODUTO, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA "
                       "FROM ITEMPRECODIA WHERE ") +
            terms.join(QStringLiteral(" AND ")),
        binds, QStringLiteral("verificar o preço diferenciado")));
}

// The bulk price update of a period (see raiseToCalculatedPrices).
QVariant setItemPrecoAtuPrec(Context &ctx, const QVariantList &args)
{
    Transaction tx(ctx.storage);
    const int changed = raiseToCalculatedPrices(ctx.storage, args[0].toString(), args[1].toString(),
                                                dateTimeArg(args[2]));
    tx.commit();
    return changed;
}

void requireCode(const DeltaRow &row, int column, const QString &name, const QStringList &codes,
                 const QString &missing = {})
{
    const QString v = row.text(column);
    if (v.isEmpty() && !missing.isEmpty())
        throw ServerError(missing);
    if (!v.isEmpty() && !codes.contains(v)) {
        throw ServerError(QStringLiteral("Valor inválido para o campo %1: \"%2\".").arg(name, v),
                          ErrorArguments);
    }
}

// The item's prices and the period's dates a differentiated price is checked
// and priced against.
struct PricingBasis
{
    std::optional<Decimal> prices[3]; // general, delivery, order pad
    Decimal subsidy;
    QString periodStart, periodEnd; // as the database's date-time text
};

std::optional<Decimal> optionalDecimal(const QVariant &v)
{
    return v.isNull() ? std::nullopt : std::optional<Decimal>(Decimal::fromDouble(v.toDouble()));
}

PricingBasis pricingBasis(const Storage &db, const DeltaRow &row, const TableDef &def)
{
    SqlBinds binds;
    QStringList terms;
    for (const char16_t *k :
         {u"CDFILIAL", u"CDTABEPREC", u"DTINIVGPREC", u"CDPRODUTO", u"CDPRPAITABPR"}) {
        const QString name = QString::fromUtf16(k);
        terms << QStringLiteral("I.%1 = :%1").arg(name);
        binds.append({u':' + name, row.values[def.indexOf(name)]});
    }
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT I.VRPRECITEM, I.VRPRECITEMDLV, I.VRPRECITEMCMD, I.VRPRECITEMCL, "
                       "%1, %2 FROM ITEMPRECO I JOIN TABEVEND V ON V.CDFILIAL = I.CDFILIAL AND "
                       "V.CDTABEPREC = I.CDTABEPREC AND V.DTINIVGPREC = I.DTINIVGPREC WHERE ")
                .arg(db.dialect().selectDateTime(QStringLiteral("V.DTINIVGPREC")),
                     db.dialect().selectDateTime(QStringLiteral("V.DTFINVGPREC"))) +
            terms.join(QStringLiteral(" AND ")),
        binds, QStringLiteral("ler o preço do produto"));
    if (!q.next())
        throw ServerError(QStringLiteral("Preço do produto não está cadastrado."));
    PricingBasis basis;
    for (int m = 0; m < 3; ++m)
        basis.prices[m] = optionalDecimal(q.value(m));
    basis.subsidy = optionalDecimal(q.value(3)).value_or(Decimal());
    basis.periodStart = q.value(4).toString();
    basis.periodEnd = q.value(5).toString();
    return basis;
}

// A number as the user reads it: decimal comma, two places for cents, and
// no digit lost otherwise.
QString shownNumber(double v)
{
    return (isCents(v) ? QString::number(v, 'f', 2)
                       : QString::number(v, 'g', QLocale::FloatingPointShortest))
        .replace(u'.', u',');
}

// What the screen checks before a post, checked again here. The prices are
// the ones the screen showed: each must be the one its amount gives on the
// item's stored price (a client that sends none gets it computed). A
// modality not taking part keeps an amount of 0 and no price. A price that
// disagrees is not stored: the answer is in *mismatch, for the caller to
// refuse once it knows the row is still there (a row someone else changed
// is a conflict, whatever its prices).
void priceRow(const Storage &db, const TableDef &def, DeltaRow &row, const QString &what,
              QString *mismatch)
{
    if (!row.has(def.indexOf(u"DTINIVALPREC")))
        return;
    const PricingBasis basis = pricingBasis(db, row, def);
    // Date-times compare as their database text, 'yyyy-MM-dd HH:mm:ss'.
    const QString validFrom = row.text(def.indexOf(u"DTINIVALPREC"));
    const int cValidTo = def.indexOf(u"DTFINVALPREC");
    if (validFrom < basis.periodStart) {
        throw ServerError(QStringLiteral("Data inicial de validade deve ser maior ou igual que a "
                                         "data inicial de vigência."));
    }
    // A period without an end leaves the validity end free.
    if (!row.isNull(cValidTo) && !basis.periodEnd.isEmpty() &&
        row.text(cValidTo) > basis.periodEnd) {
        throw ServerError(QStringLiteral("Data final de validade deve ser menor ou igual que a "
                                         "data final de vigência."));
    }
    const std::optional<dayprice::Rule> rule = dayprice::ruleFromCodes(
        row.text(def.indexOf(u"IDPERVALORPR")), row.text(def.indexOf(u"IDDESCACREPR")));
    if (!rule)
        throw ServerError(QStringLiteral("Percentual/Valor deve ser informado."));
    static const char16_t *const flags[] = {u"IDTPMODGERAL", u"IDTPMODDLV", u"IDTPMODCMD"};
    static const char16_t *const amounts[] = {u"VRPRECODIA", u"VRPRECODIADLV", u"VRPRECODIACMD"};
    static const char16_t *const results[] = {u"PRECO", u"PRECODLV", u"PRECOCMD"};
    static const char *const amountTitles[] = {"Valor", "Preço Dlv.", "Preço Cmd"};
    static const char *const missingPrice[] = {
        "Preço do produto não está cadastrado.",
        "Para informar preço diferenciado para o delivery, o preco de delivery do produto "
        "também deve ser informado.",
        "Para informar preço diferenciado para comanda, o preco de comanda do produto também "
        "deve ser informado."};
    for (int m = 0; m < 3; ++m) {
        const int cAmount = def.indexOf(amounts[m]), cResult = def.indexOf(results[m]);
        row.present[cAmount] = row.present[cResult] = true;
        if (row.text(def.indexOf(flags[m])) != u"S") {
            row.values[cAmount] = 0.0;
            row.values[cResult] = QVariant(QMetaType::fromType<double>());
            continue;
        }
        if (!basis.prices[m])
            throw ServerError(QString::fromUtf8(missingPrice[m]));
        const double sentAmount = row.isNull(cAmount) ? 0.0 : row.values[cAmount].toDouble();
        if (sentAmount <= 0)
            throw ServerError(QStringLiteral("Valor deve ser maior que zero."));
        // Bounded before any arithmetic: a percentage of a thousand trillion
        // on a large base is no price, and its product no number we hold.
        if (!(sentAmount < kPriceLimit.toDouble()) ||
            !dayprice::amountWithinLimits(Decimal::fromDouble(sentAmount), *rule)) {
            throw ServerError(
                QStringLiteral("%1 (%2).")
                    .arg(rule->percentage
                             ? QStringLiteral("Percentual deve ser menor ou igual a 100")
                             : QStringLiteral("Valor acima do limite permitido"),
                         what));
        }
        if (!isCents(sentAmount)) {
            throw ServerError(
                QStringLiteral("Valor com mais de duas casas decimais em \"%1\": %2 (%3).")
                    .arg(QString::fromUtf8(amountTitles[m]), shownNumber(sentAmount), what));
        }
        const Decimal amount = Decimal::fromDouble(sentAmount);
        const Decimal base = *basis.prices[m] + basis.subsidy;
        const Decimal price = dayprice::priceFor(base, amount, *rule);
        if (price <= Decimal(0))
            throw ServerError(QStringLiteral("Preço deve ser maior que zero."));
        if (!dayprice::priceWithinLimits(price, base)) {
            throw ServerError(QStringLiteral(
                "O valor do acréscimo não pode ser maior ou igual ao preço do produto."));
        }
        if (row.isNull(cResult)) {
            row.values[cResult] = price.toDouble();
            continue;
        }
        const double sent = row.values[cResult].toDouble();
        if (mismatch->isEmpty() && sent != price.toDouble()) {
            *mismatch = QStringLiteral("O preço %1 não corresponde ao valor %2 sobre o preço %3 "
                                       "do produto, que dá %4 (%5).")
                            .arg(shownNumber(sent), shownNumber(sentAmount),
                                 shownNumber(base.toDouble()), shownNumber(price.toDouble()), what);
        }
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
    auto describe = [&](const DeltaRow &row) {
        return QStringLiteral("o preço diferenciado do produto %1 (dia %2, %3 a %4)")
            .arg(row.text(cProduct), row.text(cDay), row.text(cHourFrom), row.text(cHourTo));
    };
    DeltaWriter writer(db, def, delta, describe);
    const QString alreadyThere =
        QStringLiteral("Preço diferenciado já cadastrado para os dados informados.");

    auto check = [&](const DeltaRow &row) {
        requireCode(row, cDay, QStringLiteral("NRDIASEMANPR"),
                    {"1", "2", "3", "4", "5", "6", "7", "V", "F", "T"},
                    QStringLiteral("Dia deve ser informado."));
        requireCode(row, col(u"IDPERVALORPR"), QStringLiteral("IDPERVALORPR"), {"P", "V"},
                    QStringLiteral("Percentual/Valor deve ser informado."));
        requireCode(row, col(u"IDDESCACREPR"), QStringLiteral("IDDESCACREPR"), {"D", "A"},
                    QStringLiteral("Desconto/Acréscimo deve ser informado."));
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
            DeltaRow row = writer.currentRow(change);
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
            QString mismatch;
            priceRow(db, def, row, describe(row), &mismatch);
            if (!mismatch.isEmpty())
                throw ServerError(mismatch);
            if (!writer.insert(row))
                throw ServerError(alreadyThere);
            break;
        }
        case ChangeKind::Update: {
            const DeltaRow original = writer.originalRow(change);
            DeltaRow current = writer.currentRow(change);
            check(current);
            QString mismatch;
            priceRow(db, def, current, describe(current), &mismatch);
            if (!sameKey(original, current) && writer.exists(current))
                throw ServerError(alreadyThere);
            writer.updateOrConflict(original, current);
            // Thrown inside the transaction: the row goes back as it was.
            if (!mismatch.isEmpty())
                throw ServerError(mismatch);
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
    registry.add(kPriceTableObject, {"getVdModalidade",
                                     {A::String, A::String, A::DateTime, A::String, A::String,
                                      A::String, A::String, A::String, A::String, A::DateTime},
                                     getVdModalidade});
    registry.add(kPriceTableObject,
                 {"SetItemPrecoAtuPrec", {A::String, A::String, A::DateTime}, setItemPrecoAtuPrec});
}

} // namespace prx::server
