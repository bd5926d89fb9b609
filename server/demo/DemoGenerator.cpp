#include "demo/DemoGenerator.h"

#include "core/MethodRegistry.h"
#include "dataset/FieldDef.h"
#include "demo/DemoCatalog.h"
#include "demo/DemoCosts.h"
#include "demo/DemoHolidays.h"
#include "demo/DemoWriter.h"
#include "money/CostPrice.h"
#include "money/DayPrice.h"
#include "storage/HistoryTriggers.h"
#include "storage/Schema.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QRandomGenerator>
#include <QSet>

#include <cmath>

namespace prx::server {

namespace {

constexpr int kMaxPerSubcategory = 9999; // four digits at the leaf level
constexpr int kPricedCap = 3000; // products priced outside the first table's period in force
constexpr int kCostCap = 5000;   // products with costs and tax rates outside the first branch

// a × b cut to cents, computed exactly.
double trunc2(double a, double b)
{
    return (Decimal::fromDouble(a) * Decimal::fromDouble(b)).truncated(2).toDouble();
}

// The calculated price the server's price calculation gives, taxes aside.
QVariant calculatedPrice(double cost, double markup)
{
    const std::optional<Decimal> price = priceFromCost(cost, markup, 0);
    return price ? QVariant(price->toDouble()) : QVariant();
}

// Shelf prices end in ,90.
double shelfPrice(double v)
{
    return std::max(Decimal::fromDouble(v).truncated(0) + *Decimal::parse(u"0.9"),
                    *Decimal::parse(u"0.9"))
        .toDouble();
}

// Statistics of the tables just filled. PostgreSQL plans the statements
// that complete the demo inside its transaction, where the tables would
// otherwise look empty: an anti-join over them then runs for minutes. Only
// our own tables (`only` of them, when given): the database may hold other
// schemas.
void analyzeDemoTables(const Storage &storage, QStringList only = {})
{
    if (storage.dialect().isSqlite()) {
        storage.execDirect(QStringLiteral("ANALYZE"));
        return;
    }
    if (only.isEmpty()) {
        for (const TableDef &t : Schema::tables())
            only << t.name;
    }
    storage.execDirect(QStringLiteral("ANALYZE ") + only.join(u", "));
}

struct Product
{
    QString code;
    QString tree;
    QString name;
    QString category;
    QString subcategory;
    double price = 0;
    double costRatio = 0.5;                   // cost / price
    double markup = 0;                        // percentage over the cost; 0 when none is registered
    QList<std::pair<int, double>> components; // index, quantity
};

class DemoBuilder
{
public:
    DemoBuilder(const Storage &storage, const DemoOptions &options)
        : m_options(options), m_rng(options.seed), m_today(wallClock(options.today)),
          m_storage(storage), m_out(storage, m_today)
    {
    }

    void run()
    {
        referenceData();
        branches();
        productTree();
        products();
        combos();
        productSegments();
        costsAndTaxes();
        consumerTypeLinks();
        for (int b = 0; b < m_options.branches; ++b) {
            for (int t = 0; t < DemoCatalog::priceTables().size(); ++t)
                priceTable(b, t);
        }
        assignments();
        // Every year the demo's periods touch; the first branch closes for Carnaval.
        writeDemoHolidays(m_out, day(-90).date().year(), day(119).date().year(), branchCode(0));
        // What follows is written by statements over the rows above.
        m_out.flush();
        if (!m_storage.dialect().isSqlite())
            analyzeDemoTables(m_storage);
        if (m_products.size() > kCostCap) {
            completeOtherBranchTaxRates(m_storage, branchCode(0), m_products[kCostCap - 1].code);
        }
    }

private:
    int between(int low, int high) { return low + int(m_rng.bounded(high - low + 1)); }
    double between(double low, double high) { return low + m_rng.generateDouble() * (high - low); }
    bool chance(int percent) { return int(m_rng.bounded(100)) < percent; }
    QString branchCode(int b) const { return QStringLiteral("%1").arg(b + 1, 4, 10, QChar(u'0')); }
    QDateTime day(int offset) const { return m_today.addDays(offset); }

    void referenceData()
    {
        const QStringList levels = {"Grupo", "Subgrupo", "Produto"};
        const int digits[] = {2, 2, 4};
        for (int i = 0; i < levels.size(); ++i)
            m_out.insert("PARAMARVPROD", {i + 1, digits[i], levels[i]});
        for (const auto &s : DemoCatalog::segments())
            m_out.insert("SEGMER", {s.code, s.name});
        for (const auto &g : DemoCatalog::productGroups())
            m_out.insert("GRUPOPROD", {g.code, g.name});
        for (const auto &c : DemoCatalog::consumerTypes())
            m_out.insert("TIPOCONS", {c.code, c.name});
        for (const auto &c : DemoCatalog::costTypes())
            m_out.insert("TIPOCUSTO", {c.code.toInt(), c.name});
        const QStringList &clients = DemoCatalog::clients();
        for (int i = 0; i < clients.size(); ++i)
            m_out.insert("CLIENTE", {clientCode(i), clients[i]});
    }

    static QString clientCode(int i)
    {
        return QStringLiteral("%1").arg(i + 1, 10, 10, QChar(u'0'));
    }

    void branches()
    {
        const auto &catalog = DemoCatalog::branches();
        for (int b = 0; b < m_options.branches; ++b) {
            const auto &c = catalog[b % catalog.size()];
            QString name = c.name;
            if (b >= catalog.size())
                name += u' ' + QString::number(b / catalog.size() + 1);
            // Every third branch keeps its component prices fixed.
            m_out.insert("FILIAL", {branchCode(b), name.left(30), c.segment, b % 3 == 2 ? "N" : "S",
                                    c.group, b % 2 == 0 ? "S" : "N"});
            const QStringList &stores = DemoCatalog::storeNames();
            for (int s = 0; s < stores.size(); ++s)
                m_out.insert("LOJA",
                             {branchCode(b), QStringLiteral("L%1").arg(s + 1, 2, 10, QChar(u'0')),
                              stores[s]});
        }
    }

    void productTree()
    {
        for (const auto &cat : DemoCatalog::categories()) {
            m_out.insert("ARVPROD", {cat.code, cat.name, 1});
            for (const auto &sub : cat.subcategories)
                m_out.insert("ARVPROD", {cat.code + sub.code, sub.name, 2});
        }
    }

    QString nextProductCode()
    {
        return QStringLiteral("%1").arg(m_products.size() + 1, 10, 10, QChar(u'0'));
    }

    static QString barcode(const QString &code)
    {
        QString digits = QStringLiteral("789") + code.right(9);
        int sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += digits[i].digitValue() * (i % 2 == 0 ? 1 : 3);
        return digits + QString::number((10 - sum % 10) % 10);
    }

    void addProduct(Product p, bool packaged)
    {
        p.code = nextProductCode();
        p.costRatio = between(0.35, 0.55);
        // A few products have no percentage for the price calculation.
        p.markup = chance(95) ? trunc2(1.0 / p.costRatio - 1.0, 100.0) : 0;
        m_out.insert("PRODUTO",
                     {p.code, p.name, p.tree, packaged ? QVariant(barcode(p.code)) : QVariant()});
        m_products << p;
    }

    void products()
    {
        QList<std::pair<const DemoCatalog::Category *, const DemoCatalog::Subcategory *>> subs;
        for (const auto &cat : DemoCatalog::categories()) {
            if (cat.subcategories.first().bases.isEmpty())
                continue; // combos are built from the others
            for (const auto &sub : cat.subcategories)
                subs.append({&cat, &sub});
        }
        m_comboCount = std::max(2, m_options.products * 3 / 100);
        const int regular = m_options.products - m_comboCount;
        for (int i = 0; i < regular; ++i) {
            const auto [cat, sub] = subs[i % subs.size()];
            const int k = i / int(subs.size());
            const int nb = int(sub->bases.size()), ns = int(sub->sizes.size());
            Product p;
            p.name = sub->bases[k % nb] + u' ' + sub->sizes[(k / nb) % ns];
            if (k >= nb * ns)
                p.name += QStringLiteral(" (Ref. %1)").arg(k / (nb * ns) + 1);
            p.name = p.name.left(50);
            p.tree = cat->code + sub->code + QStringLiteral("%1").arg(k + 1, 4, 10, QChar(u'0'));
            p.category = cat->code;
            p.subcategory = sub->code;
            p.price = shelfPrice(between(sub->minPrice, sub->maxPrice));
            addProduct(p, cat->code == u"01" || cat->code == u"05");
        }
    }

    int randomOf(const QString &category)
    {
        for (;;) {
            const int i = between(0, int(m_products.size()) - 1);
            if (m_products[i].category == category && m_products[i].components.isEmpty())
                return i;
        }
    }

    void combos()
    {
        for (int j = 0; j < m_comboCount; ++j) {
            const bool lunch = j % 2 == 1;
            Product p;
            p.category = QStringLiteral("06");
            p.subcategory = lunch ? QStringLiteral("02") : QStringLiteral("01");
            p.tree = p.category + p.subcategory +
                     QStringLiteral("%1").arg(j / 2 + 1, 4, 10, QChar(u'0'));
            const int main = randomOf(lunch ? QStringLiteral("03") : QStringLiteral("02"));
            p.components << std::pair{main, 1.0} << std::pair{randomOf(QStringLiteral("01")), 1.0};
            if (chance(50))
                p.components << std::pair{randomOf(QStringLiteral("04")), 1.0};
            if (lunch && chance(40)) {
                const int coffee = randomOf(QStringLiteral("01"));
                if (!std::any_of(p.components.begin(), p.components.end(),
                                 [&](const auto &c) { return c.first == coffee; }))
                    p.components << std::pair{coffee, 2.0};
            }
            double sum = 0;
            for (const auto &[index, quantity] : p.components)
                sum += m_products[index].price * quantity;
            p.price = shelfPrice(sum * 0.85);
            p.name = (QStringLiteral("Combo ") + m_products[main].name +
                      (lunch ? QStringLiteral(" com Bebida") : QStringLiteral(" + Bebida")))
                         .left(50);
            addProduct(p, false);
            const Product &combo = m_products.last();
            for (const auto &[index, quantity] : combo.components)
                m_out.insert("PRODCOMP", {combo.code, m_products[index].code, quantity});
        }
    }

    void productSegments()
    {
        for (const auto &s : DemoCatalog::segments()) {
            const QStringList cats = DemoCatalog::segmentCategories(s.code);
            for (const Product &p : m_products) {
                if (cats.contains(p.category))
                    m_out.insert("PRODSEGMER", {s.code, p.code});
            }
        }
    }

    static double taxRate(const Product &p)
    {
        if (p.category == u"01")
            return p.subcategory == u"04" ? 25.0 : 18.0;
        if (p.category == u"05")
            return 12.0;
        return 7.0;
    }

    void costsAndTaxes()
    {
        for (int b = 0; b < m_options.branches; ++b) {
            const int count =
                b == 0 ? int(m_products.size()) : std::min(int(m_products.size()), kCostCap);
            for (int i = 0; i < count; ++i) {
                const Product &p = m_products[i];
                const double cost = trunc2(p.price, p.costRatio);
                for (int type = 1; type <= 3; ++type)
                    m_out.insert("CUSTOPROD",
                                 {branchCode(b), p.code, type, trunc2(cost, 0.98 + 0.04 * type)});
                if (p.markup > 0)
                    m_out.insert("PERCCUSTO", {branchCode(b), p.code, p.markup});
                // Some products wait for their tax rate in the other
                // branches: approval lists them. The first branch has every
                // rate. (The draw is made all the same, so that the rest of
                // the demo stays what it was for a seed.)
                if (chance(97) || b == 0)
                    m_out.insert("ALIQPROD", {branchCode(b), p.code, taxRate(p)});
                else
                    m_untaxed.insert({b, i});
            }
        }
    }

    void consumerTypeLinks()
    {
        for (int b = 0; b < m_options.branches; ++b) {
            // Even branches after the first link none, so that every type is
            // offered there.
            const int linked = b == 0 ? 4 : (b % 2 == 1 ? 2 : 0);
            for (int c = 0; c < linked; ++c)
                m_out.insert("TIPOCONSFILI", {branchCode(b), DemoCatalog::consumerTypes()[c].code});
        }
    }

    // Three periods per table: one approved in the past, one in force today
    // and one still being prepared. The period in force is approved in the
    // first table of every branch (the one the screen opens, so the price in
    // force sells from the first day) and in every table of the first branch
    // (the tables stores, clients and branches buy by); elsewhere it cycles
    // through "1" to "3". The coming period is confirmed in the first table
    // (ready to approve), released in the second and pending in the third.
    static QString inForceState(int b, int t)
    {
        return b == 0 || t == 0 ? QStringLiteral("4") : QString::number((b + t) % 3 + 1);
    }

    void priceTable(int b, int t)
    {
        const QString branch = branchCode(b);
        const auto &table = DemoCatalog::priceTables()[t];
        m_out.insert("TABEPREC", {branch, table.code, table.name});
        const QString segment = DemoCatalog::branches()[b % DemoCatalog::branches().size()].segment;
        const QStringList cats = DemoCatalog::segmentCategories(segment);
        const double tableFactor = t == 0 ? 1.0 : (t == 1 ? 1.08 : 0.85);
        struct Period
        {
            int from, to;
            QString state;
            double factor;
        };
        const Period periods[] = {{-90, -31, "4", 0.95},
                                  {-30, 29, inForceState(b, t), 1.0},
                                  {30, 119, QString::number(3 - t % 3), 1.06}};
        for (const Period &pd : periods) {
            const QDateTime start = day(pd.from);
            m_out.insert("TABEVEND", {branch, table.code, start, day(pd.to), pd.state});
            const bool inForceFirst = pd.from < 0 && pd.to >= 0 && t == 0;
            const bool approved = pd.state == u"4";
            const int cap = inForceFirst ? int(m_products.size()) : kPricedCap;
            for (int i = 0; i < std::min(cap, int(m_products.size())); ++i) {
                const Product &p = m_products[i];
                if (!cats.contains(p.category) || !chance(inForceFirst ? 90 : 85))
                    continue;
                // Approval demands every product's tax rate, so an approved
                // period leaves out those the branch lacks (the draws are
                // made all the same: the rest of the demo stays as it was).
                item(branch, table.code, start, day(pd.to), p, pd.factor * tableFactor,
                     !approved || hasTaxRate(b, i));
            }
        }
    }

    bool hasTaxRate(int b, int i) const
    {
        // Past kCostCap the rates come in one statement at the end.
        return b == 0 || !m_untaxed.contains({b, i});
    }

    // `write` false only draws what the item would, writing nothing.
    void item(const QString &branch, const QString &table, const QDateTime &start,
              const QDateTime &end, const Product &p, double factor, bool write)
    {
        const double price = shelfPrice(p.price * factor);
        const QVariant delivery = chance(70) ? QVariant(trunc2(price, 1.1)) : QVariant();
        const QVariant orderPad = chance(50) ? QVariant(price) : QVariant();
        const double client = chance(90) ? 0.0 : 1.0;
        const bool calculated = p.markup > 0 && chance(50);
        const double cost = trunc2(p.price, p.costRatio);
        QVariant from, to;
        if (p.category == u"01" && p.subcategory == u"05") {
            from = QStringLiteral("0600");
            to = QStringLiteral("1100");
        } else if (p.category == u"01" && p.subcategory == u"04") {
            from = QStringLiteral("1100");
            to = QStringLiteral("2359");
        }
        const QVariant suggested = chance(40) ? QVariant(trunc2(price, 1.05)) : QVariant();
        const bool promotion = chance(5);
        const bool withDayPrice = chance(6);
        if (!write) {
            if (withDayPrice)
                dayPrice(branch, table, start, end, p, price, client, delivery, false);
            return;
        }
        m_out.insert("ITEMPRECO",
                     {branch, table, start, p.code, p.code, price, delivery, orderPad, client,
                      p.category == u"03" && p.subcategory == u"04" ? "S" : "N", suggested,
                      calculated ? calculatedPrice(cost, p.markup) : QVariant(),
                      calculated ? QVariant(p.markup) : QVariant(), promotion ? "S" : "N", from, to,
                      "N"});
        for (const auto &[index, quantity] : p.components) {
            const Product &c = m_products[index];
            m_out.insert("ITEMPRECO", {branch, table, start, c.code, p.code,
                                       trunc2(shelfPrice(c.price * factor), 0.85), QVariant(),
                                       QVariant(), 0.0, "N", QVariant(), QVariant(), QVariant(),
                                       "N", QVariant(), QVariant(), "N"});
        }
        if (withDayPrice)
            dayPrice(branch, table, start, end, p, price, client, delivery, true);
    }

    // The price the screen would compute for the rule.
    static double applied(Decimal base, bool percent, bool discount, double amount)
    {
        return dayprice::priceFor(base, Decimal::fromDouble(amount), {percent, discount})
            .toDouble();
    }

    // One of the usual rules: happy hour, weekend, holiday, eve of a
    // holiday or a consumer type's discount.
    void dayPrice(const QString &branch, const QString &table, const QDateTime &start,
                  const QDateTime &end, const Product &p, double price, double client,
                  const QVariant &delivery, bool write)
    {
        struct Rule
        {
            QStringList days;
            const char *from, *to, *consumer;
            bool percent, discount;
            double amount;
            bool withDelivery;
            const char *show;
        };
        static const Rule rules[] = {
            {{"2", "3", "4", "5", "6"}, "1700", "1900", "T", true, true, 15, true, "N"},
            {{"1", "7"}, "1100", "2300", "T", false, false, 2, false, "N"},
            {{"F"}, "0000", "2359", "T", true, false, 10, false, "N"},
            {{"V"}, "1800", "2359", "T", true, true, 10, false, "N"},
            {{"T"}, "0000", "2359", "01", true, true, 20, false, "S"},
            {{"T"}, "1100", "1500", "02", true, true, 10, false, "S"},
        };
        const Rule &r = rules[between(0, int(std::size(rules)) - 1)];
        if (!write)
            return;
        const bool dlv = r.withDelivery && delivery.isValid();
        const Decimal base = Decimal::fromDouble(price) + Decimal::fromDouble(client);
        const Decimal dlvBase =
            Decimal::fromDouble(delivery.toDouble()) + Decimal::fromDouble(client);
        for (const QString &d : r.days) {
            m_out.insert(
                "ITEMPRECODIA",
                {branch,
                 table,
                 start,
                 p.code,
                 p.code,
                 r.consumer,
                 d,
                 r.from,
                 r.to,
                 start,
                 end,
                 r.percent ? "P" : "V",
                 r.discount ? "D" : "A",
                 r.amount,
                 dlv ? r.amount : 0.0,
                 0.0,
                 applied(base, r.percent, r.discount, r.amount),
                 dlv ? QVariant(applied(dlvBase, r.percent, r.discount, r.amount)) : QVariant(),
                 QVariant(),
                 r.show,
                 "S",
                 dlv ? "S" : "N",
                 "N"});
        }
    }

    // Table 002 of the first branch is used by a store, a client and another
    // branch; table 003 by a client and a client's branch; table 001 by no
    // one, so its periods can always be deleted.
    void assignments()
    {
        const QString first = branchCode(0);
        m_out.insert("TABPRECLOJA", {first, "L01", first, "002"});
        m_out.insert("TABPRECCLI", {clientCode(1), first, "002"});
        if (m_options.branches > 1)
            m_out.insert("TABPRECFILI", {branchCode(1), first, "002"});
        m_out.insert("TABPRECCLI", {clientCode(0), first, "003"});
        m_out.insert("TABPRECCLIFILI", {clientCode(2), first, first, "003"});
    }

    DemoOptions m_options;
    QRandomGenerator m_rng;
    QDateTime m_today;
    const Storage &m_storage;
    DemoWriter m_out;
    QList<Product> m_products;
    QSet<std::pair<int, int>> m_untaxed; // branch, product index: no tax rate there
    int m_comboCount = 0;
};

} // namespace

void generateDemo(Storage &storage, const DemoOptions &options)
{
    const int subcategories = 21;
    if (options.products < 10 || options.products > subcategories * kMaxPerSubcategory) {
        throw ServerError(
            QStringLiteral("Número de produtos da demonstração deve estar entre 10 e %1.")
                .arg(subcategories * kMaxPerSubcategory));
    }
    if (options.branches < 1 || options.branches > 9999)
        throw ServerError(
            QStringLiteral("Número de filiais da demonstração deve estar entre 1 e 9999."));
    Transaction tx(storage);
    // The demo's first prices are where the history starts, not changes.
    HistoryTriggers::drop(storage);
    const QStringList foreignKeys = DemoWriter::setAsideForeignKeys(storage);
    DemoBuilder(storage, options).run();
    completeFirstBranchCosts(storage);
    DemoWriter::restoreForeignKeys(storage, foreignKeys);
    HistoryTriggers::create(storage);
    tx.commit();
    // Fresh statistics let the planner pick the key lookups for the joins.
    // PostgreSQL has them already but for the rows the last statements added.
    analyzeDemoTables(storage,
                      storage.dialect().isSqlite()
                          ? QStringList()
                          : QStringList{QStringLiteral("PERCCUSTO"), QStringLiteral("ALIQPROD")});
}

} // namespace prx::server
