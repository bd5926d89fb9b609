// Price changes for the shelf: GetAlteracoesPreco lists every product whose
// price in force changes between two moments, and GetAlteracoesPrecoProxVig
// the products whose price changes when the next period of the table starts.
//
// The price in force is GetPrecoVigente's, for the general modality and
// every consumer type ("T"): the price a shelf label shows. A product is
// listed when that price differs between the moments, including a product
// that starts or stops selling (a price at one moment, none at the other);
// a product whose rule changed but whose price did not needs no new label
// and is left out. Each moment is answered for the whole table at once (see
// PriceInForceSet.h); the rows come in tree code order, as the shelves are
// walked with a product list.
//
// The next period is the earliest approved period of the table that starts
// after the day of the moment given (the client's "now"): a pending,
// released or confirmed period never sells, so its start changes no label.
// The moments compared are then "now" and the first minute of that period.
#include "methods/MethodSupport.h"
#include "methods/PriceInForceSet.h"
#include "storage/PacketReader.h"
#include "storage/Storage.h"

#include <QHash>

#include <algorithm>
#include <tuple>

namespace prx::server {

namespace {

using inforce::Modality;

const QList<FieldDef> &changeFields()
{
    static const QList<FieldDef> fields = {
        {"CDPRODUTO", FieldType::String, 10},   {"CDARVPROD", FieldType::String, 20},
        {"NMPRODUTO", FieldType::String, 50},   {"VRPRECOANT", FieldType::Float, 0},
        {"VRPRECONOVO", FieldType::Float, 0},   {"IDALTERACAO", FieldType::String, 1},
        {"IDSITANT", FieldType::String, 20},    {"IDSITNOVO", FieldType::String, 20},
        {"DSREGRAANT", FieldType::String, 200}, {"DSREGRANOVA", FieldType::String, 200}};
    return fields;
}

enum ChangeColumn
{
    cProduct,
    cTree,
    cName,
    cOldPrice,
    cNewPrice,
    cKind,
    cOldSituation,
    cNewSituation,
    cOldRule,
    cNewRule
};

const QList<FieldDef> &summaryFields()
{
    static const QList<FieldDef> fields = {
        {"CDFILIAL", FieldType::String, 4},      {"CDTABEPREC", FieldType::String, 3},
        {"DTDE", FieldType::DateTime, 0},        {"DTATE", FieldType::DateTime, 0},
        {"DSPERIODODE", FieldType::String, 400}, {"DSPERIODOATE", FieldType::String, 400},
        {"NRPRODUTOS", FieldType::Integer, 0},   {"NRALTERADOS", FieldType::Integer, 0}};
    return fields;
}

// A product's state at one moment, as the shelf sees it.
struct Seen
{
    std::optional<Decimal> price; // empty: not for sale
    QString situation;            // the codes GetPrecoVigente answers with
    QString rule;                 // in words
};

Seen seenOf(const PricesInForce::Item &item)
{
    const inforce::Answer &a = item.answer;
    switch (a.outcome) {
    case inforce::Outcome::NoModalityPrice:
        return {std::nullopt, QStringLiteral("SEM_PRECO_MODALIDADE"),
                QStringLiteral("Sem preço para a modalidade %1")
                    .arg(inforce::modalityName(Modality::General))};
    case inforce::Outcome::OutsideSaleWindow:
        // The routine's own words name the window: "Fora do horário de
        // venda do produto (18:00 às 02:00)."
        return {std::nullopt, QStringLiteral("FORA_HORARIO"),
                a.explanation.endsWith(u'.') ? a.explanation.chopped(1) : a.explanation};
    case inforce::Outcome::Priced:
        break;
    }
    if (!item.winner)
        return {a.price, QStringLiteral("PRECO"), QStringLiteral("Preço da tabela")};
    return {a.price, QStringLiteral("PRECO_DIFERENCIADO"),
            QStringLiteral("Preço diferenciado: %1")
                .arg(inforce::ruleText(*item.winner, Modality::General))};
}

// What the customer pays; empty when not for sale or not priced.
std::optional<Decimal> priceOf(const PricesInForce::Item *item)
{
    return item ? item->answer.price : std::nullopt;
}

// What a product without an item in the period in force shows.
Seen unpriced(const PricesInForce &set)
{
    if (!set.period)
        return {std::nullopt, QStringLiteral("SEM_PERIODO"),
                QStringLiteral("Nenhum período aprovado vigente")};
    return {std::nullopt, QStringLiteral("SEM_PRECO"), QStringLiteral("Sem preço no período")};
}

// "A" up, "B" down, "I" starts selling, "E" stops selling.
QString kindOf(const Seen &before, const Seen &after)
{
    if (!before.price)
        return QStringLiteral("I");
    if (!after.price)
        return QStringLiteral("E");
    return *after.price > *before.price ? QStringLiteral("A") : QStringLiteral("B");
}

struct Change
{
    QString product;
    Seen before, after;
    QString tree, name;
};

// Tree code and name of the products of both periods.
QHash<QString, std::pair<QString, QString>>
productNames(const Storage &db, const PricesInForce &from, const PricesInForce &to)
{
    QStringList starts;
    for (const PricesInForce *set : {&from, &to}) {
        if (set->period)
            starts << SqlDialect::dateTimeText(wallClock(set->period->start));
    }
    QHash<QString, std::pair<QString, QString>> names;
    if (starts.isEmpty())
        return names;
    if (starts.size() == 1)
        starts << starts.first();
    const DataPacketPtr p =
        PacketReader({{"CDPRODUTO", FieldType::String, 10},
                      {"CDARVPROD", FieldType::String, 20},
                      {"NMPRODUTO", FieldType::String, 50}})
            .read(db,
                  QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODUTO P "
                                 "WHERE P.CDPRODUTO IN (SELECT I.CDPRODUTO FROM ITEMPRECO I "
                                 "WHERE I.CDFILIAL = :b AND I.CDTABEPREC = :t AND "
                                 "I.DTINIVGPREC IN (:s1, :s2) AND I.CDPRPAITABPR = I.CDPRODUTO)"),
                  {{QStringLiteral(":b"), from.branch},
                   {QStringLiteral(":t"), from.table},
                   {QStringLiteral(":s1"), starts[0]},
                   {QStringLiteral(":s2"), starts[1]}},
                  QStringLiteral("ler os nomes dos produtos"));
    names.reserve(p->rowCount());
    for (int r = 0; r < p->rowCount(); ++r)
        names.insert(p->string(r, 0), {p->string(r, 1), p->string(r, 2)});
    return names;
}

QVariant answerChanges(const Storage &db, const QString &branch, const QString &table,
                       const QDateTime &fromAt, const QDateTime &toAt)
{
    PricesInForce from =
        pricesInForce(db, branch, table, fromAt, QStringLiteral("T"), Modality::General);
    PricesInForce to =
        pricesInForce(db, branch, table, toAt, QStringLiteral("T"), Modality::General);
    // The database orders codes by its own collation, which need not be
    // ours: the merge below needs the order it compares by.
    for (PricesInForce *set : {&from, &to}) {
        auto byProduct = [](const PricesInForce::Item &a, const PricesInForce::Item &b) {
            return QString::compare(a.product, b.product) < 0;
        };
        if (!std::is_sorted(set->items.begin(), set->items.end(), byProduct))
            std::sort(set->items.begin(), set->items.end(), byProduct);
    }

    std::vector<Change> changes;
    const Seen noneBefore = unpriced(from), noneAfter = unpriced(to);
    // Both lists come by product code: one merge pass. The words of each
    // side are written only for the products that change.
    size_t i = 0, j = 0;
    int compared = 0;
    while (i < from.items.size() || j < to.items.size()) {
        const int order = i == from.items.size() ? 1
                          : j == to.items.size()
                              ? -1
                              : QString::compare(from.items[i].product, to.items[j].product);
        const PricesInForce::Item *before = order <= 0 ? &from.items[i++] : nullptr;
        const PricesInForce::Item *after = order >= 0 ? &to.items[j++] : nullptr;
        ++compared;
        if (priceOf(before) == priceOf(after))
            continue;
        changes.push_back({before ? before->product : after->product,
                           before ? seenOf(*before) : noneBefore,
                           after ? seenOf(*after) : noneAfter,
                           {},
                           {}});
    }

    const QHash<QString, std::pair<QString, QString>> names = productNames(db, from, to);
    for (Change &c : changes)
        std::tie(c.tree, c.name) = names.value(c.product);
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change &a, const Change &b) { return a.tree < b.tree; });
    auto rows = std::make_shared<DataPacket>(changeFields());
    rows->reserve(int(changes.size()));
    for (const Change &c : changes) {
        const int r = rows->appendRow();
        rows->setString(r, cProduct, c.product);
        rows->setString(r, cTree, c.tree);
        rows->setString(r, cName, c.name);
        if (c.before.price)
            rows->setReal(r, cOldPrice, c.before.price->toDouble());
        if (c.after.price)
            rows->setReal(r, cNewPrice, c.after.price->toDouble());
        rows->setString(r, cKind, kindOf(c.before, c.after));
        rows->setString(r, cOldSituation, c.before.situation);
        rows->setString(r, cNewSituation, c.after.situation);
        rows->setString(r, cOldRule, c.before.rule);
        rows->setString(r, cNewRule, c.after.rule);
    }

    auto summary = std::make_shared<DataPacket>(summaryFields());
    const int r = summary->appendRow();
    summary->setString(r, 0, from.branch);
    summary->setString(r, 1, from.table);
    summary->setDateTime(r, 2, from.at);
    summary->setDateTime(r, 3, to.at);
    summary->setString(r, 4, from.periodText);
    summary->setString(r, 5, to.periodText);
    summary->setInteger(r, 6, compared);
    summary->setInteger(r, 7, qint64(changes.size()));
    return QVariantList{packetResult(rows), packetResult(summary)};
}

QDateTime momentArg(const QVariant &value, const QString &missing)
{
    const QDateTime at = dateTimeArg(value);
    if (!at.isValid())
        throw ServerError(missing, ErrorArguments);
    return at;
}

// Arguments: branch, table ("" for the branch's), from, to. Answers the
// changed products and a summary row with the moments and their periods.
QVariant getAlteracoesPreco(Context &ctx, const QVariantList &args)
{
    const QDateTime from = momentArg(args[2], QStringLiteral("Informe o momento inicial."));
    const QDateTime to = momentArg(args[3], QStringLiteral("Informe o momento final."));
    if (to <= from) {
        throw ServerError(
            QStringLiteral("O momento final (%1) deve ser posterior ao inicial (%2).")
                .arg(to.toString(u"dd/MM/yyyy HH:mm"), from.toString(u"dd/MM/yyyy HH:mm")),
            ErrorArguments);
    }
    return answerChanges(ctx.storage, args[0].toString(), args[1].toString(), from, to);
}

QString stateName(const QString &state)
{
    static const QHash<QString, QString> names = {
        {"1", "pendente"}, {"2", "liberado"}, {"3", "confirmado"}, {"4", "aprovado"}};
    return names.value(state, state);
}

// Arguments: branch, table ("" for the branch's), the moment now. The same
// answer as GetAlteracoesPreco from now to the start of the next period.
QVariant getAlteracoesPrecoProxVig(Context &ctx, const QVariantList &args)
{
    const Storage &db = ctx.storage;
    const QDateTime now = momentArg(args[2], QStringLiteral("Informe o momento atual."));
    const auto [branch, table] = sellingTable(db, args[0].toString(), args[1].toString());
    const SqlDialect &d = db.dialect();
    // A period that starts today is already in force.
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT %1, IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = :b AND "
                                "CDTABEPREC = :t AND DTINIVGPREC > :dayEnd ORDER BY DTINIVGPREC")
                     .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC"))),
                 {{QStringLiteral(":b"), branch},
                  {QStringLiteral(":t"), table},
                  {QStringLiteral(":dayEnd"),
                   SqlDialect::bindDateTime(wallClock(now.date(), QTime(23, 59, 59)))}},
                 QStringLiteral("ler os próximos períodos"));
    QDate start;
    QString firstOther, firstOtherState;
    while (q.next()) {
        const QDate s = SqlDialect::dateTimeFromText(q.value(0).toString()).date();
        if (q.value(1).toString() == u"4") {
            start = s;
            break;
        }
        if (firstOther.isEmpty()) {
            firstOther = s.toString(u"dd/MM/yyyy");
            firstOtherState = q.value(1).toString();
        }
    }
    if (!start.isValid()) {
        QString why = QStringLiteral("Nenhum período aprovado da tabela %1 começa depois de %2.")
                          .arg(table, now.date().toString(u"dd/MM/yyyy"));
        if (!firstOther.isEmpty()) {
            why += QStringLiteral(" O período de %1 está %2 e só um período aprovado vende.")
                       .arg(firstOther, stateName(firstOtherState));
        }
        throw ServerError(why);
    }
    // The selling branch as given: its calendar decides holidays, whoever
    // owns the table.
    return answerChanges(db, args[0].toString(), args[1].toString(), now, wallClock(start));
}

} // namespace

void registerShelfChangeMethods(MethodRegistry &registry)
{
    using A = ArgType;
    registry.add(kPriceTableObject, {"GetAlteracoesPreco",
                                     {A::String, A::String, A::DateTime, A::DateTime},
                                     getAlteracoesPreco});
    registry.add(kPriceTableObject, {"GetAlteracoesPrecoProxVig",
                                     {A::String, A::String, A::DateTime},
                                     getAlteracoesPrecoProxVig});
}

} // namespace prx::server
