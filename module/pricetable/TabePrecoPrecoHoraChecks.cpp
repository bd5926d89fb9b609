// A differentiated price computed from its amount (or its amount from a typed
// price) and checked before it is saved. Every computation goes through the
// routine the server uses, so the screen shows the price the server stores.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"

#include "dataset/Abort.h"
#include "dataset/Format.h"
#include "money/DayPrice.h"
#include "services/HostUi.h"
#include "services/LocalQuery.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/DBGrid.h"

#include <QScopeGuard>

#include <cmath>

namespace prx {

using namespace Cli_prx51700;

namespace {

// One sale modality of a differentiated price and the item price it
// applies to.
struct Modality
{
    const char16_t *flag, *amount, *result, *itemPrice;
    const char *missingKey; // the item price this modality cannot do without
};
constexpr Modality kGeneral{u"IDTPMODGERAL", u"VRPRECODIA", u"PRECO", u"VRPRECITEM", nullptr};
constexpr Modality kDelivery{u"IDTPMODDLV", u"VRPRECODIADLV", u"PRECODLV", u"VRPRECITEMDLV",
                             "PRECDLV_ZERO"};
constexpr Modality kOrderPad{u"IDTPMODCMD", u"VRPRECODIACMD", u"PRECOCMD", u"VRPRECITEMCMD",
                             "PRECCMD_ZERO"};

// Empty counts as 0.
Decimal decimalOf(const Field &f)
{
    return f.isNull() ? Decimal() : Decimal::fromDouble(f.asFloat());
}

bool taking(const ClientDataSet *ds, const Modality &m)
{
    return ds->fieldByName(m.flag).asString() == QLatin1String("S");
}

dayprice::Rule ruleOf(const ClientDataSet *ds)
{
    // Anything but "V" is a percentage, anything but "A" a discount.
    return {ds->fieldByName(u"IDPERVALORPR").asString() != QLatin1String("V"),
            ds->fieldByName(u"IDDESCACREPR").asString() != QLatin1String("A")};
}

// The base of a modality is the item's price for it plus the subsidy.
Decimal baseOf(const ClientDataSet *items, const Modality &m)
{
    return decimalOf(items->fieldByName(m.itemPrice)) +
           decimalOf(items->fieldByName(u"VRPRECITEMCL"));
}

} // namespace

// Refuses, with the focus on its column, an amount of a taking modality
// that no price may come from: past the limits (a percentage above 100, a
// fixed amount at the price limit; checked before any arithmetic, whose
// products such values would overflow) or with a third decimal, which the
// server does not store.
void TfrmTabePreco::checkDayPriceAmount(const Field &amount, const dayprice::Rule &rule)
{
    if (amount.isNull())
        return;
    const double v = amount.asFloat();
    const char *key = nullptr;
    if (!(std::fabs(v) < kPriceLimit.toDouble()) ||
        !dayprice::amountWithinLimits(Decimal::fromDouble(std::fabs(v)), rule))
        key = rule.percentage ? "PERC_LIMITE" : "VALOR_LIMITE";
    else if (!isCents(v))
        key = "VALOR_DECIMAIS";
    if (!key)
        return;
    focusGridColumn(dbgPrecoHora, amount.name());
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

// The amount a typed general price comes from. A price no two-decimal
// amount reaches exactly (a percentage of a base above 100, a typed third
// decimal) is replaced by the price that amount gives, and only after the
// user agreed to it: the row never holds a price its amount does not give,
// so the server stores what the grid shows.
void TfrmTabePreco::deriveDayPriceAmount(Decimal base, dayprice::Rule rule)
{
    Field &amount = cdsPrecoHora->fieldByName(kGeneral.amount);
    Field &price = cdsPrecoHora->fieldByName(kGeneral.result);
    auto refuse = [this](const char *key) {
        focusGridColumn(dbgPrecoHora, QStringLiteral("PRECO"));
        MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
    };
    if (!(std::fabs(price.asFloat()) < kPriceLimit.toDouble()))
        refuse("Ope_bl_VrPrec");
    const Decimal typed = Decimal::fromDouble(price.asFloat());
    dayprice::Derived derived;
    if (dayprice::amountFor(base, typed, rule, &derived) != dayprice::Refusal::None)
        refuse("VRPRODDESC_MAIOR");
    const dayprice::Rule used{rule.percentage, derived.discount};
    // A percentage comes back with two decimals; a fixed amount from a typed
    // third decimal is cut like one.
    const Decimal value = derived.amount.truncated(2);
    if (!value.isNegative() && !dayprice::amountWithinLimits(value, used))
        refuse(used.percentage ? "PERC_LIMITE" : "VALOR_LIMITE");
    // A negative or zero amount is refused by the checks before a post.
    const Decimal reached = value > Decimal(0) ? dayprice::priceFor(base, value, used) : typed;
    if (reached != typed) {
        auto money = [](double v) {
            return isCents(v) ? formatNumber(v, u"#,##0.00") : formatNumber(v);
        };
        const QString shownAmount = formatNumber(value.toDouble(), u"#,##0.00") +
                                    (used.percentage ? QStringLiteral(" %") : QString());
        const QString question =
            msgPadrao.Msg(QStringLiteral("PRECO_INEXATO"))
                .arg(money(price.asFloat()), shownAmount, money(reached.toDouble()));
        if (HostUi::instance().messageBox(question, MsgKind::Confirmation, {MsgYes, MsgNo}) !=
            MsgYes) {
            focusGridColumn(dbgPrecoHora, QStringLiteral("PRECO"));
            throw Abort();
        }
    }
    amount.setAsFloat(value.toDouble());
    price.setAsFloat(reached.toDouble());
    // A price typed below the base is a discount, whatever was asked: the
    // row must give back the price it was saved with.
    if (derived.discount != rule.discount) {
        cdsPrecoHora->fieldByName(u"IDDESCACREPR")
            .setAsString(derived.discount ? QStringLiteral("D") : QStringLiteral("A"));
    }
}

void TfrmTabePreco::calculaPrecoItemDia()
{
    if (!isEditing(cdsPrecoHora))
        return;
    Field &mode = cdsPrecoHora->fieldByName(u"IDPERVALORPR");
    Field &direction = cdsPrecoHora->fieldByName(u"IDDESCACREPR");
    if (mode.asString().isEmpty())
        mode.setAsString(QStringLiteral("V"));
    if (direction.asString().isEmpty())
        direction.setAsString(QStringLiteral("A"));
    const dayprice::Rule rule = ruleOf(cdsPrecoHora);
    Field &price = cdsPrecoHora->fieldByName(kGeneral.result);
    const Field *selected = dbgPrecoHora->selectedField();
    // Only a price the user changed counts as typed: passing through the
    // column must not work the amount back from a price already cut.
    const bool priceTyped = selected && selected->name() == QLatin1String("PRECO") &&
                            !price.isNull() && price.value() != m_dayPriceShown;

    if (taking(cdsPrecoHora, kGeneral)) {
        const Decimal base = baseOf(cdsItemPreco, kGeneral);
        const Field &amount = cdsPrecoHora->fieldByName(kGeneral.amount);
        if (priceTyped) {
            deriveDayPriceAmount(base, rule);
            m_dayPriceShown = price.value();
        } else if (!amount.isNull()) {
            // Also after a change of mode or direction in another column: the
            // price always belongs to the amount shown.
            checkDayPriceAmount(amount, rule);
            price.setAsFloat(dayprice::priceFor(base, decimalOf(amount), rule).toDouble());
            m_dayPriceShown = price.value();
        }
    }
    for (const Modality &m : {kDelivery, kOrderPad}) {
        const Field &amount = cdsPrecoHora->fieldByName(m.amount);
        if (!taking(cdsPrecoHora, m) || amount.isNull())
            continue;
        checkDayPriceAmount(amount, rule);
        cdsPrecoHora->fieldByName(m.result).setAsFloat(
            dayprice::priceFor(baseOf(cdsItemPreco, m), decimalOf(amount), rule).toDouble());
    }
}

QString TfrmTabePreco::precoHoraKeyText() const
{
    QString key;
    for (const char *name :
         {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD",
          "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"}) {
        const Field &f = cdsPrecoHora->fieldByName(QString::fromLatin1(name));
        key += f.type() == FieldType::DateTime ? f.displayText() : f.asString();
    }
    return key;
}

void TfrmTabePreco::vd_hora()
{
    checkHour(dbgPrecoHora, cdsPrecoHora->fieldByName(u"HRINIPRECDIA"));
}

void TfrmTabePreco::vd_HoraFin()
{
    checkHour(dbgPrecoHora, cdsPrecoHora->fieldByName(u"HRFINPRECDIA"));
}

// An empty start takes the period's dates; strict, a start before the
// period's is refused.
void TfrmTabePreco::Vd_PrecoHoraDtIni(bool strict)
{
    if (!isEditing(cdsPrecoHora))
        return;
    Field &from = cdsPrecoHora->fieldByName(u"DTINIVALPREC");
    Field &to = cdsPrecoHora->fieldByName(u"DTFINVALPREC");
    const char *key = nullptr;
    if (from.isNull()) {
        if (strict && !to.isNull()) {
            key = "DtIniInf";
        } else {
            from.setAsDateTime(cdsTabeVendDTINIVGPREC->asDateTime());
            // An end the user typed stays.
            if (to.isNull() && !cdsTabeVendDTFINVGPREC->isNull())
                to.setAsDateTime(cdsTabeVendDTFINVGPREC->asDateTime());
        }
    } else if (strict && cdsTabeVendDTINIVGPREC->asDateTime() > from.asDateTime()) {
        key = "DtIniValDevDt";
    }
    if (!key)
        return;
    focusGridColumn(dbgPrecoHora, QStringLiteral("DTINIVALPREC"));
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

// Strict only: the end is given, not before the start, not after the
// period's end (a period without an end bounds nothing).
void TfrmTabePreco::Vd_PrecoHoraDtFin(bool strict)
{
    if (!strict || !isEditing(cdsPrecoHora))
        return;
    const Field &from = cdsPrecoHora->fieldByName(u"DTINIVALPREC");
    const Field &to = cdsPrecoHora->fieldByName(u"DTFINVALPREC");
    const char *key = nullptr;
    if (to.isNull() && !from.isNull()) {
        key = "DtFinInf";
    } else if (!to.isNull() && !from.isNull()) {
        if (from.asDateTime() > to.asDateTime())
            key = "DtFinValDev";
        else if (!cdsTabeVendDTFINVGPREC->isNull() &&
                 to.asDateTime() > cdsTabeVendDTFINVGPREC->asDateTime())
            key = "DtFinValDevDt";
    }
    if (!key)
        return;
    focusGridColumn(dbgPrecoHora, QStringLiteral("DTFINVALPREC"));
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

// Any registered consumer type, linked to the branch or not; blank is "T",
// every type.
void TfrmTabePreco::Vd_TipoCons()
{
    Field &code = cdsPrecoHora->fieldByName(u"CDTIPOCONSPD");
    Field &name = cdsPrecoHora->fieldByName(u"NMTIPOCONS");
    code.setAsString(Ajusta(code.asString(), 2));
    if (code.asString().isEmpty() || code.asString() == QLatin1String("T")) {
        code.setAsString(QStringLiteral("T"));
        name.setAsString(msgPadrao.Msg(QStringLiteral("Todos")));
        return;
    }
    adqTipoCons->close();
    adqTipoCons->setParam(QStringLiteral("P_TCDTIPOCONS"), QString());
    adqTipoCons->setParam(QStringLiteral("P_CDTIPOCONS"), code.asString());
    adqTipoCons->open();
    if (adqTipoCons->isEmpty()) {
        focusGridColumn(dbgPrecoHora, QStringLiteral("CDTIPOCONSPD"));
        MensErro(msgPadrao.Msg(QStringLiteral("TpConsNCad")), true);
    }
    name.setAsString(adqTipoCons->fieldByName(u"NMTIPOCONS").asString());
}

void TfrmTabePreco::dbgPrecoHoraColExit()
{
    const Field *f = dbgPrecoHora->selectedField();
    if (!f)
        return;
    if (f->name() == QLatin1String("DTINIVALPREC"))
        Vd_PrecoHoraDtIni(false);
    else if (f->name() == QLatin1String("DTFINVALPREC"))
        Vd_PrecoHoraDtFin(false);
    else if (f->name() == QLatin1String("CDTIPOCONSPD") && isEditing(cdsPrecoHora))
        Vd_TipoCons();
    calculaPrecoItemDia();
}

// The checks in their order; the first failure keeps the row in edit with
// what the steps before it changed.
void TfrmTabePreco::cdsPrecoHoraBeforePost()
{
    auto refuse = [this](const char16_t *field, const char *key) {
        if (field)
            focusGridColumn(dbgPrecoHora, QString::fromUtf16(field));
        MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
    };
    for (const auto &[field, key] :
         {std::pair{u"NRDIASEMANPR", "DIAINF"}, std::pair{u"IDPERVALORPR", "PERVALINF"},
          std::pair{u"IDDESCACREPR", "DESACRINF"}}) {
        if (cdsPrecoHora->fieldByName(field).asString().isEmpty())
            refuse(field, key);
    }
    vd_hora();
    vd_HoraFin();
    if (cdsPrecoHora->fieldByName(u"HRINIPRECDIA").asString() >
        cdsPrecoHora->fieldByName(u"HRFINPRECDIA").asString())
        refuse(u"HRINIPRECDIA", "HORAMAIOR");

    calculaPrecoItemDia();
    for (const Modality &m : {kGeneral, kDelivery, kOrderPad}) {
        Field &amount = cdsPrecoHora->fieldByName(m.amount);
        Field &price = cdsPrecoHora->fieldByName(m.result);
        if (!taking(cdsPrecoHora, m)) {
            // A modality switched off keeps nothing of what it had.
            amount.setAsFloat(0);
            price.clear();
            continue;
        }
        if (m.missingKey && cdsItemPreco->fieldByName(m.itemPrice).displayText().isEmpty())
            refuse(nullptr, m.missingKey);
        if (decimalOf(amount) <= Decimal(0))
            refuse(m.amount, "VALMAIOR");
        if (decimalOf(price) <= Decimal(0))
            refuse(m.amount, "PRECMAI");
        if (!dayprice::priceWithinLimits(decimalOf(price), baseOf(cdsItemPreco, m)))
            refuse(m.amount, "ACREVAL");
    }

    Field &visible = cdsPrecoHora->fieldByName(u"IDVISUACUPOM");
    if (visible.asString().isEmpty())
        visible.setAsString(QStringLiteral("N"));
    for (const char *name : {"CDFILIAL", "CDTABEPREC"}) {
        cdsPrecoHora->fieldByName(QString::fromLatin1(name))
            .setAsString(cdsTabeVend->fieldByName(QString::fromLatin1(name)).asString());
    }
    cdsPrecoHora->fieldByName(u"DTINIVGPREC").setAsDateTime(cdsTabeVendDTINIVGPREC->asDateTime());
    for (const char *name : {"CDPRODUTO", "CDPRPAITABPR"}) {
        cdsPrecoHora->fieldByName(QString::fromLatin1(name))
            .setAsString(cdsItemPreco->fieldByName(QString::fromLatin1(name)).asString());
    }
    Vd_PrecoHoraDtIni(true);
    Vd_PrecoHoraDtFin(true);
    Vd_TipoCons();

    // Only a new key can clash: an edit of the amounts asks nothing.
    if (precoHoraKeyText() == stChavePrecoDif)
        return;
    QVariantList args;
    for (const char *name :
         {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD",
          "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"}) {
        const Field &f = cdsPrecoHora->fieldByName(QString::fromLatin1(name));
        args << (f.type() == FieldType::DateTime ? QVariant(f.asDateTime())
                                                 : QVariant(f.asString()));
    }
    read(cdsVdMod, QStringLiteral("getVdModalidade"), args);
    if (!cdsVdMod->isEmpty())
        refuse(nullptr, "PRECDIF_JA");
}

// The server computed the item's differentiated prices again when the item's
// prices changed; the rows shown take the same prices, computed here with
// the same routine, and keep no change to send.
void TfrmTabePreco::refreshItemDayPrices()
{
    if (!hasRows(cdsPrecoHora) || isEditing(cdsPrecoHora) || cdsPrecoHora->changeCount() > 0)
        return;
    m_syncingDayPrices = true;
    cdsPrecoHora->disableControls();
    const int current = cdsPrecoHora->currentRow();
    const auto restore = qScopeGuard([this, current] {
        if (isEditing(cdsPrecoHora))
            cdsPrecoHora->cancel();
        cdsPrecoHora->moveTo(current);
        cdsPrecoHora->enableControls();
        m_syncingDayPrices = false;
    });
    for (int row = 0; row < cdsPrecoHora->recordCount(); ++row) {
        cdsPrecoHora->moveTo(row);
        const dayprice::Rule rule = ruleOf(cdsPrecoHora);
        cdsPrecoHora->edit();
        for (const Modality &m : {kGeneral, kDelivery, kOrderPad}) {
            Field &price = cdsPrecoHora->fieldByName(m.result);
            if (taking(cdsPrecoHora, m) && !cdsItemPreco->fieldByName(m.itemPrice).isNull()) {
                price.setAsFloat(dayprice::priceFor(baseOf(cdsItemPreco, m),
                                                    decimalOf(cdsPrecoHora->fieldByName(m.amount)),
                                                    rule)
                                     .toDouble());
            } else {
                price.clear();
            }
        }
        cdsPrecoHora->post();
    }
    cdsPrecoHora->mergeChangeLog();
}

} // namespace prx
