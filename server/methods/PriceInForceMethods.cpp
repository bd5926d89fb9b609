// The price in force at a moment: GetPrecoVigente for one product and
// GetPrecoVigenteLote for many at one moment.
//
// Which price a sale pays at a moment, for a consumer type and a sale
// modality ("G" general, "D" delivery, "C" order pad):
// - the table is the one given, or, when none is given, the one the branch
//   buys by (its TABPRECFILI assignment; more than one is refused);
// - the period is the approved one ("4") whose dates hold the moment's day,
//   the latest start first; an end-less period holds every later day. Pending,
//   released and confirmed periods are still being typed or checked and
//   never sell;
// - the item is the product's own row of that period; without a price for
//   the modality, or outside its daily sale window (both minutes included, a
//   start after the end crossing midnight), it is not for sale;
// - among the differentiated prices of the item for that modality whose
//   consumer type (or "T"), day ("1" Sunday to "7" Saturday, "F" holiday,
//   "V" eve of a holiday, "T"), hour window (both minutes included, seconds
//   ignored) and validity days hold the moment, the winner is decided by, in
//   this order: a specific consumer type before "T"; holiday, then eve, then
//   weekday, then "T"; the narrower hour window; the later validity start;
//   the later start hour. A weekday rule still holds on a holiday; the
//   holiday rule simply wins. Holidays are the branch's own dates and the
//   national ones (branch "T"); the eve is the day before.
// - the price is the item's modality price, or the winner's amount applied
//   to that price plus the subsidised part, by the screen's own routine.
// The answer names the period, the winning rule and the criterion that
// decided, and explains itself in one sentence.
#include "methods/MethodSupport.h"
#include "methods/PriceInForceSet.h"
#include "money/PriceInForce.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"

#include <QHash>
#include <QRegularExpression>

namespace prx::server {

namespace {

using namespace prx::inforce;

inforce::Modality modalityArg(const QVariant &value)
{
    const std::optional<inforce::Modality> m = modalityFromCode(value.toString());
    if (!m) {
        throw ServerError(QStringLiteral("Modalidade inválida: \"%1\". Use G (geral), D "
                                         "(delivery) ou C (comanda).")
                              .arg(value.toString()),
                          ErrorArguments);
    }
    return *m;
}

QString consumerArg(const QVariant &value)
{
    const QString c = value.toString().trimmed().toUpper();
    return c.isEmpty() ? QStringLiteral("T") : c;
}

struct TableRef
{
    QString branch, table;
};

TableRef resolveTable(const Storage &db, const QString &branch, const QString &table)
{
    if (!queryHasRows(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = :b"),
                      {{QStringLiteral(":b"), branch}}))
        throw ServerError(QStringLiteral("Filial %1 não cadastrada.").arg(branch));
    if (!table.trimmed().isEmpty()) {
        if (!queryHasRows(db,
                          QStringLiteral("SELECT 1 FROM TABEPREC WHERE CDFILIAL = :b AND "
                                         "CDTABEPREC = :t"),
                          {{QStringLiteral(":b"), branch}, {QStringLiteral(":t"), table}}))
            throw ServerError(QStringLiteral("Tabela de preço %1 não cadastrada na filial %2.")
                                  .arg(table, branch));
        return {branch, table};
    }
    QSqlQuery q = runQuery(db,
                           QStringLiteral("SELECT CDFILTABPR, CDTABEPREC FROM TABPRECFILI WHERE "
                                          "CDFILIAL = :b ORDER BY CDFILTABPR, CDTABEPREC"),
                           {{QStringLiteral(":b"), branch}},
                           QStringLiteral("ler a tabela de preço da filial"));
    if (!q.next())
        throw ServerError(QStringLiteral("A filial %1 não tem tabela de preço atribuída; informe "
                                         "a tabela.")
                              .arg(branch));
    TableRef ref{q.value(0).toString(), q.value(1).toString()};
    if (q.next())
        throw ServerError(QStringLiteral("A filial %1 compra por mais de uma tabela de preço; "
                                         "informe a tabela.")
                              .arg(branch));
    return ref;
}

QDate dateOfText(const QString &text)
{
    return SqlDialect::dateTimeFromText(text).date();
}

QDate dateOfMs(qint64 ms)
{
    return QDate::fromJulianDay(2440588 + ms / 86400000);
}

// The holiday names of the day and of the next one, for the branch.
struct HolidayFacts
{
    QString today, tomorrow;
};

HolidayFacts holidayFacts(const Storage &db, const QString &branch, QDate date)
{
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT %1, NMFERIADO FROM FERIADO WHERE CDFILIAL IN (:b, 'T') AND "
                                "DTFERIADO IN (:d0, :d1) ORDER BY CDFILIAL")
                     .arg(db.dialect().selectDateTime(QStringLiteral("DTFERIADO"))),
                 {{QStringLiteral(":b"), branch},
                  {QStringLiteral(":d0"), SqlDialect::bindDateTime(wallClock(date))},
                  {QStringLiteral(":d1"), SqlDialect::bindDateTime(wallClock(date.addDays(1)))}},
                 QStringLiteral("ler os feriados"));
    HolidayFacts facts;
    while (q.next()) {
        QString &slot = dateOfText(q.value(0).toString()) == date ? facts.today : facts.tomorrow;
        if (slot.isEmpty())
            slot = q.value(1).toString();
    }
    return facts;
}

QString stateName(const QString &state)
{
    static const QHash<QString, QString> names = {
        {"1", "Pendente"}, {"2", "Liberada"}, {"3", "Confirmada"}, {"4", "Aprovada"}};
    return names.value(state, state);
}

struct PeriodFacts
{
    std::optional<Period> inForce;
    QString refusal; // why no period sells, when none does
};

PeriodFacts periodFacts(const Storage &db, const TableRef &ref, QDate date)
{
    const SqlDialect &d = db.dialect();
    QSqlQuery q = runQuery(
        db,
        QStringLiteral("SELECT %1, %2, IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = :b AND "
                       "CDTABEPREC = :t AND DTINIVGPREC <= :dayEnd AND (DTFINVGPREC IS NULL OR "
                       "DTFINVGPREC >= :dayStart)")
            .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC")),
                 d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
        {{QStringLiteral(":b"), ref.branch},
         {QStringLiteral(":t"), ref.table},
         {QStringLiteral(":dayEnd"), SqlDialect::bindDateTime(wallClock(date, QTime(23, 59, 59)))},
         {QStringLiteral(":dayStart"), SqlDialect::bindDateTime(wallClock(date))}},
        QStringLiteral("ler os períodos de vigência"));
    QList<Period> periods;
    while (q.next()) {
        periods.append({dateOfText(q.value(0).toString()),
                        q.value(1).isNull() ? QDate() : dateOfText(q.value(1).toString()),
                        q.value(2).toString()});
    }
    const PeriodChoice choice = choosePeriod(periods, date);
    PeriodFacts facts;
    if (choice.inForce >= 0) {
        facts.inForce = periods[choice.inForce];
    } else if (choice.notApproved >= 0) {
        const Period &p = periods[choice.notApproved];
        facts.refusal =
            QStringLiteral("O período de %1 da tabela %2 está %3 e só um período "
                           "aprovado vende.")
                .arg(p.start.toString(u"dd/MM/yyyy"), ref.table, stateName(p.state).toLower());
    } else {
        facts.refusal = QStringLiteral("Nenhum período da tabela %1 vigente em %2.")
                            .arg(ref.table, date.toString(u"dd/MM/yyyy"));
    }
    return facts;
}

const QList<FieldDef> &answerFields()
{
    static const QList<FieldDef> fields = {
        {"CDPRODUTO", FieldType::String, 10},     {"CDFILIAL", FieldType::String, 4},
        {"CDTABEPREC", FieldType::String, 3},     {"DTINIVGPREC", FieldType::DateTime, 0},
        {"DTFINVGPREC", FieldType::DateTime, 0},  {"IDMODALIDADE", FieldType::String, 1},
        {"CDTIPOCONS", FieldType::String, 2},     {"DTMOMENTO", FieldType::DateTime, 0},
        {"NMFERIADO", FieldType::String, 40},     {"NMVESPERA", FieldType::String, 40},
        {"VRPRECOMOD", FieldType::Float, 0},      {"VRPRECITEMCL", FieldType::Float, 0},
        {"HRINIVENPROD", FieldType::String, 4},   {"HRFIMVENPROD", FieldType::String, 4},
        {"IDVENDA", FieldType::String, 1},        {"IDSITUACAO", FieldType::String, 20},
        {"VRPRECO", FieldType::Float, 0},         {"NRDIASEMANPR", FieldType::String, 1},
        {"CDTIPOCONSPD", FieldType::String, 2},   {"HRINIPRECDIA", FieldType::String, 4},
        {"HRFINPRECDIA", FieldType::String, 4},   {"DTINIVALPREC", FieldType::DateTime, 0},
        {"DTFINVALPREC", FieldType::DateTime, 0}, {"IDPERVALORPR", FieldType::String, 1},
        {"IDDESCACREPR", FieldType::String, 1},   {"VRPRECODIA", FieldType::Float, 0},
        {"IDCRITERIO", FieldType::String, 20},    {"NRREGRAS", FieldType::Integer, 0},
        {"DSEXPLICACAO", FieldType::String, 400}};
    return fields;
}

enum AnswerColumn
{
    cProduct,
    cBranch,
    cTable,
    cPeriodStart,
    cPeriodEnd,
    cModality,
    cConsumer,
    cMoment,
    cHoliday,
    cEve,
    cItemPrice,
    cSubsidy,
    cSaleFrom,
    cSaleTo,
    cForSale,
    cSituation,
    cPrice,
    cDay,
    cRuleConsumer,
    cHourFrom,
    cHourTo,
    cValidFrom,
    cValidTo,
    cPercent,
    cDiscount,
    cAmount,
    cDecider,
    cRules,
    cExplanation
};

// One request: the moment and what holds for every product at it.
struct Asked
{
    TableRef ref;
    QDateTime at;
    QString consumer;
    inforce::Modality modality;
    Moment moment;
    HolidayFacts holidays;
    PeriodFacts period;
};

Asked ask(const Storage &db, const QVariant &branch, const QVariant &table, const QVariant &at,
          const QVariant &consumer, const QVariant &modality)
{
    Asked a;
    a.modality = modalityArg(modality);
    a.consumer = consumerArg(consumer);
    a.at = dateTimeArg(at);
    if (!a.at.isValid())
        throw ServerError(QStringLiteral("Informe o momento da consulta."), ErrorArguments);
    const QString selling = branch.toString().trimmed();
    a.ref = resolveTable(db, selling, table.toString().trimmed());
    // The calendar is the selling branch's, whoever owns the table.
    a.holidays = holidayFacts(db, selling, a.at.date());
    a.moment = momentOf(a.at, !a.holidays.today.isEmpty(), !a.holidays.tomorrow.isEmpty());
    a.period = periodFacts(db, a.ref, a.at.date());
    return a;
}

// Rows of the period's own items and of their differentiated prices that
// may hold at the moment; the routine of PriceInForce decides on them.
struct Gathered
{
    DataPacketPtr items, candidates;
};

Gathered gather(const Storage &db, const Asked &a, const QString &product)
{
    const SqlDialect &d = db.dialect();
    const QString periodStart = SqlDialect::dateTimeText(wallClock(a.period.inForce->start));
    const QString onlyProduct =
        product.isEmpty() ? QString() : QStringLiteral(" AND CDPRODUTO = :p");
    SqlBinds binds = {{QStringLiteral(":b"), a.ref.branch},
                      {QStringLiteral(":t"), a.ref.table},
                      {QStringLiteral(":s"), periodStart}};
    if (!product.isEmpty())
        binds.append({QStringLiteral(":p"), product});
    Gathered g;
    g.items = PacketReader({{"CDPRODUTO", FieldType::String, 10},
                            {"VRPRECITEM", FieldType::Float, 0},
                            {"VRPRECITEMDLV", FieldType::Float, 0},
                            {"VRPRECITEMCMD", FieldType::Float, 0},
                            {"VRPRECITEMCL", FieldType::Float, 0},
                            {"HRINIVENPROD", FieldType::String, 4},
                            {"HRFIMVENPROD", FieldType::String, 4}})
                  .read(db,
                        QStringLiteral("SELECT CDPRODUTO, VRPRECITEM, VRPRECITEMDLV, "
                                       "VRPRECITEMCMD, VRPRECITEMCL, HRINIVENPROD, HRFIMVENPROD "
                                       "FROM ITEMPRECO WHERE CDFILIAL = :b AND CDTABEPREC = :t "
                                       "AND DTINIVGPREC = :s AND CDPRPAITABPR = CDPRODUTO") +
                            onlyProduct + QStringLiteral(" ORDER BY CDPRODUTO"),
                        binds, QStringLiteral("ler os preços dos produtos"));

    static const char *const flags[] = {"IDTPMODGERAL", "IDTPMODDLV", "IDTPMODCMD"};
    const QDate day = a.moment.date;
    const QString hour = QStringLiteral("%1%2")
                             .arg(a.moment.minute / 60, 2, 10, QChar(u'0'))
                             .arg(a.moment.minute % 60, 2, 10, QChar(u'0'));
    binds.append({QStringLiteral(":c"), a.consumer});
    binds.append({QStringLiteral(":w"), QString(QChar(u'0' + day.dayOfWeek() % 7 + 1))});
    binds.append(
        {QStringLiteral(":f"), a.moment.holiday ? QStringLiteral("F") : QStringLiteral("T")});
    binds.append(
        {QStringLiteral(":v"), a.moment.holidayEve ? QStringLiteral("V") : QStringLiteral("T")});
    binds.append({QStringLiteral(":h"), hour});
    binds.append(
        {QStringLiteral(":dayEnd"), SqlDialect::bindDateTime(wallClock(day, QTime(23, 59, 59)))});
    binds.append({QStringLiteral(":dayStart"), SqlDialect::bindDateTime(wallClock(day))});
    g.candidates =
        PacketReader({{"CDPRODUTO", FieldType::String, 10},
                      {"NRDIASEMANPR", FieldType::String, 1},
                      {"CDTIPOCONSPD", FieldType::String, 2},
                      {"HRINIPRECDIA", FieldType::String, 4},
                      {"HRFINPRECDIA", FieldType::String, 4},
                      {"DTINIVALPREC", FieldType::DateTime, 0},
                      {"DTFINVALPREC", FieldType::DateTime, 0},
                      {"IDPERVALORPR", FieldType::String, 1},
                      {"IDDESCACREPR", FieldType::String, 1},
                      {"VRPRECODIA", FieldType::Float, 0},
                      {"VRPRECODIADLV", FieldType::Float, 0},
                      {"VRPRECODIACMD", FieldType::Float, 0},
                      {"IDTPMODGERAL", FieldType::String, 1},
                      {"IDTPMODDLV", FieldType::String, 1},
                      {"IDTPMODCMD", FieldType::String, 1}})
            .read(db,
                  QStringLiteral(
                      "SELECT CDPRODUTO, NRDIASEMANPR, CDTIPOCONSPD, HRINIPRECDIA, HRFINPRECDIA, "
                      "%1, %2, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
                      "VRPRECODIACMD, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD FROM ITEMPRECODIA "
                      "WHERE CDFILIAL = :b AND CDTABEPREC = :t AND DTINIVGPREC = :s AND "
                      "CDPRPAITABPR = CDPRODUTO AND %3 = 'S' AND CDTIPOCONSPD IN (:c, 'T') AND "
                      "NRDIASEMANPR IN ('T', :w, :f, :v) AND HRINIPRECDIA <= :h AND "
                      "HRFINPRECDIA >= :h AND DTINIVALPREC <= :dayEnd AND (DTFINVALPREC IS NULL "
                      "OR DTFINVALPREC >= :dayStart)")
                          .arg(d.selectDateTime(QStringLiteral("DTINIVALPREC")),
                               d.selectDateTime(QStringLiteral("DTFINVALPREC")),
                               QLatin1StringView(flags[int(a.modality)])) +
                      onlyProduct + QStringLiteral(" ORDER BY CDPRODUTO"),
                  binds, QStringLiteral("ler os preços diferenciados"));
    return g;
}

std::optional<Decimal> decimalAt(const DataPacket &p, int row, int column)
{
    if (p.isNull(row, column))
        return std::nullopt;
    return Decimal::fromDouble(p.real(row, column));
}

Candidate candidateAt(const DataPacket &p, int r)
{
    Candidate c;
    c.day = p.string(r, 1);
    c.consumer = p.string(r, 2);
    c.hourFrom = p.string(r, 3);
    c.hourTo = p.string(r, 4);
    c.validFrom = p.isNull(r, 5) ? QDate() : dateOfMs(p.dateTimeMs(r, 5));
    c.validTo = p.isNull(r, 6) ? QDate() : dateOfMs(p.dateTimeMs(r, 6));
    c.rule =
        dayprice::ruleFromCodes(p.stringView(r, 7), p.stringView(r, 8)).value_or(dayprice::Rule{});
    for (int m = 0; m < 3; ++m) {
        c.amount[m] = decimalAt(p, r, 9 + m).value_or(Decimal());
        c.takesPart[m] = p.stringView(r, 12 + m) == u"S";
    }
    return c;
}

void setOptional(DataPacket &out, int row, int column, const std::optional<Decimal> &v)
{
    if (v)
        out.setReal(row, column, v->toDouble());
}

// The row every answer starts from: the request and the period.
int startRow(DataPacket &out, const Asked &a, const QString &product)
{
    const int r = out.appendRow();
    out.setString(r, cProduct, product);
    out.setString(r, cBranch, a.ref.branch);
    out.setString(r, cTable, a.ref.table);
    if (a.period.inForce) {
        out.setDateTime(r, cPeriodStart, wallClock(a.period.inForce->start));
        if (a.period.inForce->end.isValid())
            out.setDateTime(r, cPeriodEnd, wallClock(a.period.inForce->end));
    }
    out.setString(r, cModality, modalityCode(a.modality));
    out.setString(r, cConsumer, a.consumer);
    out.setDateTime(r, cMoment, a.at);
    out.setString(r, cHoliday, a.holidays.today);
    out.setString(r, cEve, a.holidays.tomorrow);
    out.setString(r, cForSale, QStringLiteral("N"));
    out.setInteger(r, cRules, 0);
    return r;
}

void refuse(DataPacket &out, int r, const QString &situation, const QString &why)
{
    out.setString(r, cSituation, situation);
    out.setString(r, cExplanation, why);
}

QString periodText(const Asked &a)
{
    const Period &p = *a.period.inForce;
    QString text =
        QStringLiteral("Tabela %1/%2, período de %3 %4 (aprovado).")
            .arg(a.ref.branch, a.ref.table, p.start.toString(u"dd/MM/yyyy"),
                 p.end.isValid() ? QStringLiteral("a %1").arg(p.end.toString(u"dd/MM/yyyy"))
                                 : QStringLiteral("sem data final"));
    if (!a.holidays.today.isEmpty())
        text += QStringLiteral(" Feriado: %1.").arg(a.holidays.today);
    if (!a.holidays.tomorrow.isEmpty())
        text += QStringLiteral(" Véspera de feriado: %1.").arg(a.holidays.tomorrow);
    return text;
}

// The decision for one item of the period, from its candidates
// [first, last) of the gathered rows.
PricesInForce::Item decide(const Asked &a, const DataPacket &items, int item,
                           const DataPacket &cands, int first, int last, ItemPrices *prices)
{
    for (int m = 0; m < 3; ++m)
        prices->price[m] = decimalAt(items, item, 1 + m);
    prices->subsidy = decimalAt(items, item, 4).value_or(Decimal());
    prices->saleFrom = items.string(item, 5);
    prices->saleTo = items.string(item, 6);
    QList<Candidate> candidates;
    candidates.reserve(last - first);
    for (int i = first; i < last; ++i)
        candidates.append(candidateAt(cands, i));
    PricesInForce::Item decided;
    decided.product = items.string(item, 0);
    decided.answer = priceInForce(*prices, candidates, a.moment, a.consumer, a.modality);
    if (decided.answer.outcome == inforce::Outcome::Priced && decided.answer.choice.winner >= 0)
        decided.winner = candidates[decided.answer.choice.winner];
    return decided;
}

void answerItem(DataPacket &out, const Asked &a, const DataPacket &items, int item,
                const DataPacket &cands, int first, int last)
{
    ItemPrices prices;
    const PricesInForce::Item decided = decide(a, items, item, cands, first, last, &prices);
    const Answer &answer = decided.answer;
    const int r = startRow(out, a, decided.product);
    setOptional(out, r, cItemPrice, answer.itemPrice);
    out.setReal(r, cSubsidy, prices.subsidy.toDouble());
    out.setString(r, cSaleFrom, prices.saleFrom);
    out.setString(r, cSaleTo, prices.saleTo);
    out.setString(r, cExplanation, periodText(a) + u' ' + answer.explanation);
    if (answer.outcome == inforce::Outcome::NoModalityPrice) {
        out.setString(r, cSituation, QStringLiteral("SEM_PRECO_MODALIDADE"));
        return;
    }
    if (answer.outcome == inforce::Outcome::OutsideSaleWindow) {
        out.setString(r, cSituation, QStringLiteral("FORA_HORARIO"));
        return;
    }
    out.setString(r, cForSale, QStringLiteral("S"));
    setOptional(out, r, cPrice, answer.price);
    out.setInteger(r, cRules, answer.choice.matching);
    if (!decided.winner) {
        out.setString(r, cSituation, QStringLiteral("PRECO"));
        return;
    }
    const Candidate &c = *decided.winner;
    out.setString(r, cSituation, QStringLiteral("PRECO_DIFERENCIADO"));
    out.setString(r, cDay, c.day);
    out.setString(r, cRuleConsumer, c.consumer);
    out.setString(r, cHourFrom, c.hourFrom);
    out.setString(r, cHourTo, c.hourTo);
    out.setDateTime(r, cValidFrom, wallClock(c.validFrom));
    if (c.validTo.isValid())
        out.setDateTime(r, cValidTo, wallClock(c.validTo));
    out.setString(r, cPercent, c.rule.percentage ? QStringLiteral("P") : QStringLiteral("V"));
    out.setString(r, cDiscount, c.rule.discount ? QStringLiteral("D") : QStringLiteral("A"));
    out.setReal(r, cAmount, c.amount[int(a.modality)].toDouble());
    out.setString(r, cDecider, deciderCode(answer.choice.decidedBy));
}

// Where each product's candidates are among the gathered rows, which come
// grouped by product.
QHash<QString, std::pair<int, int>> candidateRanges(const DataPacket &cands)
{
    QHash<QString, std::pair<int, int>> ranges;
    for (int i = 0; i < cands.rowCount();) {
        int j = i + 1;
        while (j < cands.rowCount() && cands.stringView(j, 0) == cands.stringView(i, 0))
            ++j;
        ranges.insert(cands.string(i, 0), {i, j});
        i = j;
    }
    return ranges;
}

// Answers for the products in `wanted` (every priced product when empty).
DataPacketPtr answerAll(const Storage &db, const Asked &a, const QStringList &wanted)
{
    auto out = std::make_shared<DataPacket>(answerFields());
    if (!a.period.inForce) {
        // Without a period no product sells; a request for all of them gets
        // one row that says why.
        for (const QString &p : wanted.isEmpty() ? QStringList{QString()} : wanted)
            refuse(*out, startRow(*out, a, p), QStringLiteral("SEM_PERIODO"), a.period.refusal);
        return out;
    }
    const Gathered g = gather(db, a, wanted.size() == 1 ? wanted.first() : QString());
    const DataPacket &cands = *g.candidates;
    const QHash<QString, std::pair<int, int>> ranges = candidateRanges(cands);
    QHash<QString, int> itemRow;
    const DataPacket &items = *g.items;
    itemRow.reserve(items.rowCount());
    for (int i = 0; i < items.rowCount(); ++i)
        itemRow.insert(items.string(i, 0), i);
    out->reserve(wanted.isEmpty() ? items.rowCount() : int(wanted.size()));
    auto answerOne = [&](int item) {
        const auto range = ranges.value(items.string(item, 0), {0, 0});
        answerItem(*out, a, items, item, cands, range.first, range.second);
    };
    if (wanted.isEmpty()) {
        for (int i = 0; i < items.rowCount(); ++i)
            answerOne(i);
        return out;
    }
    for (const QString &p : wanted) {
        const auto it = itemRow.constFind(p);
        if (it != itemRow.constEnd()) {
            answerOne(*it);
        } else {
            refuse(*out, startRow(*out, a, p), QStringLiteral("SEM_PRECO"),
                   periodText(a) + QStringLiteral(" Produto %1 sem preço neste período.").arg(p));
        }
    }
    return out;
}

// Arguments: branch, table ("" for the branch's), product, moment, consumer
// type ("" or "T" for none in particular), modality.
QVariant getPrecoVigente(Context &ctx, const QVariantList &args)
{
    const QString product = args[2].toString().trimmed();
    if (product.isEmpty())
        throw ServerError(QStringLiteral("Informe o produto."), ErrorArguments);
    const Asked a = ask(ctx.storage, args[0], args[1], args[3], args[4], args[5]);
    return packetResult(answerAll(ctx.storage, a, {product}));
}

// Arguments: branch, table, moment, consumer type, modality, products ("T"
// or empty for every priced product of the period; else codes separated by
// commas, semicolons, bars or blanks). One answer per product.
QVariant getPrecoVigenteLote(Context &ctx, const QVariantList &args)
{
    const Asked a = ask(ctx.storage, args[0], args[1], args[2], args[3], args[4]);
    static const QRegularExpression separators(QStringLiteral("[,;|\\s]+"));
    QStringList wanted = args[5].toString().split(separators, Qt::SkipEmptyParts);
    if (wanted == QStringList{QStringLiteral("T")})
        wanted.clear();
    wanted.removeDuplicates();
    return packetResult(answerAll(ctx.storage, a, wanted));
}

} // namespace

std::pair<QString, QString> sellingTable(const Storage &db, const QString &branch,
                                         const QString &table)
{
    const TableRef ref = resolveTable(db, branch.trimmed(), table.trimmed());
    return {ref.branch, ref.table};
}

PricesInForce pricesInForce(const Storage &db, const QString &branch, const QString &table,
                            const QDateTime &at, const QString &consumer,
                            inforce::Modality modality)
{
    const Asked a = ask(db, branch, table, at, consumer, modalityCode(modality));
    PricesInForce set;
    set.branch = a.ref.branch;
    set.table = a.ref.table;
    set.at = a.at;
    set.period = a.period.inForce;
    if (!a.period.inForce) {
        set.periodText = a.period.refusal;
        return set;
    }
    set.periodText = periodText(a);
    const Gathered g = gather(db, a, QString());
    const DataPacket &items = *g.items, &cands = *g.candidates;
    const QHash<QString, std::pair<int, int>> ranges = candidateRanges(cands);
    set.items.reserve(size_t(items.rowCount()));
    for (int i = 0; i < items.rowCount(); ++i) {
        const auto range = ranges.value(items.string(i, 0), {0, 0});
        ItemPrices prices;
        set.items.push_back(decide(a, items, i, cands, range.first, range.second, &prices));
    }
    return set;
}

void registerPriceInForceMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject,
                 {"GetPrecoVigente",
                  {A::String, A::String, A::String, A::DateTime, A::String, A::String},
                  getPrecoVigente});
    registry.add(kPriceTableObject,
                 {"GetPrecoVigenteLote",
                  {A::String, A::String, A::DateTime, A::String, A::String, A::String},
                  getPrecoVigenteLote});
}

} // namespace prx::server
