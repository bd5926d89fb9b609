// Figures of the item grid of the price table screen with a large period in
// memory: 100,000 price items and 1,000,000 differentiated prices, both in
// the screen's own field layouts and shown in the screen's grid classes.
// A row change moves the item grid and, as the screen's row change does,
// filters the differentiated prices to the new item; a sort is a click on a
// column title of the item grid.
#include "BenchFigures.h"

#include "pricetable/DataSetLayouts.h"
#include "pricetable/ScreenTexts.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "dataset/FieldDef.h"
#include "widgets/DBGrid.h"
#include "widgets/TDBSortGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRandomGenerator>

#include <cstdio>

using namespace prx;
using namespace prx::bench;

namespace {

constexpr int Products = 100000;
constexpr int PricesPerProduct = 10;

QString productCode(int p)
{
    return QStringLiteral("%1").arg(p + 1, 10, 10, QLatin1Char('0'));
}

// An empty packet with the data fields of the dataset, in its order.
DataPacket packetFor(const ClientDataSet &ds)
{
    QList<FieldDef> defs;
    for (int i = 0; i < ds.fieldCount(); ++i) {
        const Field &f = ds.field(i);
        if (!f.isCalculated())
            defs.append({f.name(), f.type(), f.size()});
    }
    return DataPacket(defs);
}

qint64 periodStart()
{
    return wallClock(QDate(2026, 2, 1)).toMSecsSinceEpoch();
}

DataPacket itemPacket(const ClientDataSet &items)
{
    static const char16_t *const words[] = {u"Refrigerante Cola",   u"Suco de Laranja Natural",
                                            u"Água Mineral",        u"Hambúrguer Artesanal",
                                            u"Batata Frita Grande", u"Café Expresso"};
    DataPacket t = packetFor(items);
    t.reserve(Products);
    auto col = [&t](const char *name) { return t.indexOf(QString::fromLatin1(name)); };
    const int name = col("NMPRODUTO"), tree = col("CDARVPROD"), code = col("CDPRODUTO"),
              bar = col("CDBARPRODUTO"), price = col("VRPRECITEM"), dlv = col("VRPRECITEMDLV"),
              cl = col("VRPRECITEMCL"), comp = col("NRCOMPPROD"), variable = col("IDPRECVARIA"),
              cost = col("VRCUSTITEM"), branch = col("CDFILIAL"), table = col("CDTABEPREC"),
              parent = col("CDPRPAITABPR"), start = col("DTINIVGPREC"), promo = col("IDPRODPROMOC");
    for (int p = 0; p < Products; ++p) {
        const int r = t.appendRow();
        const QString product = productCode(p);
        t.setString(r, name, QStringLiteral("%1 %2ml").arg(QStringView(words[p % 6])).arg(p % 900));
        t.setString(r, tree,
                    QStringLiteral("01%1%2")
                        .arg(p % 90, 2, 10, QLatin1Char('0'))
                        .arg(p % 10000, 4, 10, QLatin1Char('0')));
        t.setString(r, code, product);
        t.setString(r, bar, QStringLiteral("789%1").arg(p, 10, 10, QLatin1Char('0')));
        t.setReal(r, price, 1.0 + p % 5000 / 100.0);
        if (p % 3)
            t.setReal(r, dlv, 2.0 + p % 700 / 10.0);
        t.setReal(r, cl, 0.9);
        t.setReal(r, comp, p % 20 == 0 ? 3 : 0);
        t.setString(r, variable, u"N");
        t.setReal(r, cost, 3.25);
        t.setString(r, branch, u"0001");
        t.setString(r, table, u"001");
        t.setString(r, parent, product);
        t.setDateTimeMs(r, start, periodStart());
        t.setString(r, promo, u"N");
    }
    return t;
}

DataPacket pricePacket(const ClientDataSet &prices)
{
    DataPacket t = packetFor(prices);
    t.reserve(Products * PricesPerProduct);
    auto col = [&t](const char *name) { return t.indexOf(QString::fromLatin1(name)); };
    const int branch = col("CDFILIAL"), table = col("CDTABEPREC"), start = col("DTINIVGPREC"),
              parent = col("CDPRPAITABPR"), code = col("CDPRODUTO"), day = col("NRDIASEMANPR"),
              kind = col("IDPERVALORPR"), sign = col("IDDESCACREPR"), from = col("HRINIPRECDIA"),
              to = col("HRFINPRECDIA"), value = col("VRPRECODIA"), consumer = col("CDTIPOCONSPD"),
              price = col("PRECO");
    const QString days = QStringLiteral("1234567VFT");
    for (int p = 0; p < Products; ++p) {
        const QString product = productCode(p);
        for (int k = 0; k < PricesPerProduct; ++k) {
            const int r = t.appendRow();
            t.setString(r, branch, u"0001");
            t.setString(r, table, u"001");
            t.setDateTimeMs(r, start, periodStart());
            t.setString(r, parent, product);
            t.setString(r, code, product);
            t.setString(r, day, QStringView(days).mid(k, 1));
            t.setString(r, kind, k % 2 ? u"P" : u"V");
            t.setString(r, sign, k % 3 ? u"D" : u"A");
            t.setString(r, from, u"1700");
            t.setString(r, to, u"1900");
            t.setReal(r, value, 5.0 + k);
            t.setString(r, consumer, k % 4 ? u"01" : u"T");
            t.setReal(r, price, 10.0 + p % 100);
        }
    }
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    ClientDataSet items, prices;
    pricetable::defineItemPrecoFields(items);
    pricetable::definePrecoHoraFields(prices);
    DataSource itemSource(&items), priceSource(&prices);
    TDBSortGrid itemGrid;
    itemGrid.setDataSource(&itemSource);
    DBGrid priceGrid;
    priceGrid.setDataSource(&priceSource);
    itemGrid.resize(1100, 330);
    priceGrid.resize(1100, 220);
    itemGrid.show();
    priceGrid.show();

    QElapsedTimer timer;
    timer.start();
    prices.loadPacket(pricePacket(prices));
    items.loadPacket(itemPacket(items));
    std::printf("loaded %d price items and %d differentiated prices in %.0f ms\n",
                items.recordCount(), prices.recordCount(), timer.nsecsElapsed() / 1e6);

    // The row change of the screen: the differentiated prices follow the item.
    const QString startText = items.fieldByName(u"DTINIVGPREC").displayText();
    items.afterScroll = [&](ClientDataSet &) {
        prices.disableControls();
        prices.setFiltered(false);
        prices.setFilter(
            pricetable::precoHoraFilter(QStringLiteral("0001"), QStringLiteral("001"), startText,
                                        items.fieldByName(u"CDPRODUTO").asString(),
                                        items.fieldByName(u"CDPRPAITABPR").asString()));
        prices.setFiltered(true);
        prices.enableControls();
    };
    timer.restart();
    items.moveTo(1);
    app.processEvents();
    std::printf("first row change (filter index built): %.0f ms, %d prices in view\n",
                timer.nsecsElapsed() / 1e6, prices.recordCount());

    QRandomGenerator rng(42);
    std::vector<double> moves, steps;
    int shown = 0;
    for (int i = 0; i < 1000; ++i) {
        const int row = int(rng.bounded(Products));
        timer.restart();
        items.moveTo(row);
        moves.push_back(timer.nsecsElapsed() / 1e3);
        shown += prices.recordCount();
    }
    for (int i = 0; i < 1000; ++i) {
        timer.restart();
        items.next();
        steps.push_back(timer.nsecsElapsed() / 1e3);
    }
    app.processEvents();
    std::printf("row change to a random item, grids attached: median %.1f us, p95 %.1f us, "
                "max %.1f us (%.1f prices each; target 1 ms)\n",
                median(moves), percentile(moves, 0.95),
                *std::max_element(moves.begin(), moves.end()), shown / 1000.0);
    std::printf("row change to the next item: median %.1f us, p95 %.1f us (target 1 ms)\n",
                median(steps), percentile(steps, 0.95));

    // The same moves with one grid at a time and without grids: where the
    // time goes.
    auto randomMoves = [&](const char *label) {
        app.processEvents();
        std::vector<double> times;
        for (int i = 0; i < 300; ++i) {
            const int row = int(rng.bounded(Products));
            timer.restart();
            items.moveTo(row);
            times.push_back(timer.nsecsElapsed() / 1e3);
        }
        std::printf("row change to a random item, %s: median %.1f us, p95 %.1f us\n", label,
                    median(times), percentile(times, 0.95));
    };
    priceGrid.setDataSource(nullptr);
    randomMoves("item grid only");
    itemGrid.setDataSource(nullptr);
    priceGrid.setDataSource(&priceSource);
    randomMoves("differentiated price grid only");
    priceGrid.setDataSource(nullptr);
    randomMoves("no grid attached");
    itemGrid.setDataSource(&itemSource);
    priceGrid.setDataSource(&priceSource);
    app.processEvents();

    // A click on a title sorts the grid, the other way on the next click.
    QHeaderView *titles = itemGrid.horizontalHeader();
    for (const char *field : {"NMPRODUTO", "VRPRECITEM", "CDARVPROD"}) {
        const int section = itemGrid.columnByField(QString::fromLatin1(field))->index();
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            timer.restart();
            emit titles->sectionClicked(section);
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        app.processEvents();
        std::printf("title click sorting %d items by %s: median %.1f ms, max %.1f ms "
                    "(target 100 ms)\n",
                    items.recordCount(), field, median(times),
                    *std::max_element(times.begin(), times.end()));
    }
    return 0;
}
