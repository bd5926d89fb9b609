// Figures of the dataset layer: the row change of the item grid with a
// million differentiated prices loaded (one filter change and a move to the
// first row), the first build of the filter index, sorting 100,000 items, and
// the memory of 100,000 price items.
#include "BenchFigures.h"

#include "dataset/ClientDataSet.h"
#include "dataset/FilterExpression.h"
#include "dataset/Format.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace prx;
using namespace prx::bench;

namespace {

constexpr int Products = 100000;
constexpr int PricesPerProduct = 10;

QString productCode(int p)
{
    return QStringLiteral("%1").arg(p + 1, 10, 10, QLatin1Char('0'));
}

struct Column
{
    const char *name;
    FieldType type;
    int size;
};

// The differentiated prices of one period, as the screen defines them.
const QList<Column> priceHourColumns = {
    {"CDFILIAL", FieldType::String, 4},       {"CDTABEPREC", FieldType::String, 3},
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
    {"PRECODLV", FieldType::Float, 0},        {"PRECOCMD", FieldType::Float, 0},
};

// The price items of one period.
const QList<Column> itemColumns = {
    {"NMPRODUTO", FieldType::String, 50},    {"CDARVPROD", FieldType::String, 20},
    {"CDPRODUTO", FieldType::String, 10},    {"CDBARPRODUTO", FieldType::String, 30},
    {"VRPRECITEM", FieldType::Float, 0},     {"VRPRECITEMDLV", FieldType::Float, 0},
    {"VRPRECITEMCMD", FieldType::Float, 0},  {"VRPRECITEMCL", FieldType::Float, 0},
    {"NRCOMPPROD", FieldType::Float, 0},     {"IDPRECVARIA", FieldType::String, 1},
    {"VRPRESUGITEM", FieldType::Float, 0},   {"VRCUSTITEM", FieldType::Float, 0},
    {"VRMKUPITEM", FieldType::Float, 0},     {"CDFILIAL", FieldType::String, 4},
    {"CDTABEPREC", FieldType::String, 3},    {"CDSEGMER", FieldType::String, 5},
    {"CDPRPAITABPR", FieldType::String, 10}, {"DTINIVGPREC", FieldType::DateTime, 0},
    {"IDPRODPROMOC", FieldType::String, 1},  {"HRINIVENPROD", FieldType::String, 4},
    {"HRFIMVENPROD", FieldType::String, 4},
};

QList<FieldDef> defsOf(const QList<Column> &columns)
{
    QList<FieldDef> defs;
    for (const Column &c : columns)
        defs.append({QString::fromLatin1(c.name), c.type, c.size});
    return defs;
}

void addFields(ClientDataSet &ds, const QList<Column> &columns)
{
    for (const Column &c : columns)
        ds.addField(QString::fromLatin1(c.name), c.type, c.size);
}

DataPacket priceHourPacket()
{
    DataPacket t(defsOf(priceHourColumns));
    t.reserve(Products * PricesPerProduct);
    const qint64 periodStart = wallClock(QDate(2026, 2, 1)).toMSecsSinceEpoch();
    const qint64 validEnd = wallClock(QDate(2026, 12, 31)).toMSecsSinceEpoch();
    const QString days = QStringLiteral("1234567VFT");
    for (int p = 0; p < Products; ++p) {
        const QString code = productCode(p);
        for (int k = 0; k < PricesPerProduct; ++k) {
            const int r = t.appendRow();
            t.setString(r, 0, u"0001");
            t.setString(r, 1, u"001");
            t.setDateTimeMs(r, 2, periodStart);
            t.setString(r, 3, code);
            t.setString(r, 4, code);
            t.setString(r, 5, QStringView(days).mid(k, 1));
            t.setString(r, 6, k % 2 ? u"P" : u"V");
            t.setString(r, 7, k % 3 ? u"D" : u"A");
            t.setString(r, 8, u"1700");
            t.setString(r, 9, u"1900");
            t.setReal(r, 10, 5.0 + k);
            t.setDateTimeMs(r, 11, periodStart);
            t.setDateTimeMs(r, 12, validEnd);
            t.setString(r, 13, k % 4 ? u"01" : u"T");
            t.setString(r, 14, u"S");
            t.setString(r, 15, k % 4 ? u"Funcionário" : u"Todos");
            t.setReal(r, 16, 10.0 + p % 100);
            t.setReal(r, 17, 1.5);
            t.setReal(r, 18, 2.5);
            t.setString(r, 19, u"S");
            t.setString(r, 20, u"N");
            t.setString(r, 21, u"S");
            t.setReal(r, 22, 11.0);
            t.setReal(r, 23, 12.0);
        }
    }
    return t;
}

DataPacket itemPacket(int rows)
{
    static const char16_t *const words[] = {u"Refrigerante Cola",   u"Suco de Laranja Natural",
                                            u"Água Mineral",        u"Hambúrguer Artesanal",
                                            u"Batata Frita Grande", u"Café Expresso"};
    DataPacket t(defsOf(itemColumns));
    t.reserve(rows);
    const qint64 periodStart = wallClock(QDate(2026, 2, 1)).toMSecsSinceEpoch();
    for (int p = 0; p < rows; ++p) {
        const int r = t.appendRow();
        const QString code = productCode(p);
        t.setString(r, 0, QStringLiteral("%1 %2ml").arg(QStringView(words[p % 6])).arg(p % 900));
        t.setString(r, 1,
                    QStringLiteral("01.%1.%2")
                        .arg(p % 90, 2, 10, QLatin1Char('0'))
                        .arg(p % 10000, 4, 10, QLatin1Char('0')));
        t.setString(r, 2, code);
        t.setString(r, 3, QStringLiteral("789%1").arg(p, 10, 10, QLatin1Char('0')));
        t.setReal(r, 4, 1.0 + p % 5000 / 100.0);
        if (p % 3)
            t.setReal(r, 5, 2.0 + p % 700 / 10.0);
        if (p % 5)
            t.setReal(r, 6, 3.0);
        t.setReal(r, 7, 0.9);
        t.setReal(r, 8, p % 20 == 0 ? 3 : 0);
        t.setString(r, 9, u"N");
        t.setReal(r, 10, 4.5);
        t.setReal(r, 11, 3.25);
        t.setReal(r, 12, 30.0);
        t.setString(r, 13, u"0001");
        t.setString(r, 14, u"001");
        t.setString(r, 15, u"00001");
        t.setString(r, 16, code);
        t.setDateTimeMs(r, 17, periodStart);
        t.setString(r, 18, u"N");
        if (p % 4 == 0) {
            t.setString(r, 19, u"1100");
            t.setString(r, 20, u"2300");
        }
    }
    return t;
}

QString filterFor(int product)
{
    const QString code = FilterExpression::quote(productCode(product));
    return QStringLiteral("CDFILIAL = '0001' and CDTABEPREC = '001' and DTINIVGPREC = '%1' and "
                          "CDPRODUTO = %2 and CDPRPAITABPR = %2")
        .arg(formatDateTime(wallClock(QDate(2026, 2, 1))), code);
}

void benchFilter()
{
    QElapsedTimer timer;
    timer.start();
    ClientDataSet prices;
    addFields(prices, priceHourColumns);
    prices.loadPacket(priceHourPacket());
    std::printf("differentiated prices loaded: %d rows x %d fields in %.0f ms\n",
                prices.recordCount(), prices.fieldCount(), timer.nsecsElapsed() / 1e6);

    timer.restart();
    prices.setFilter(filterFor(0));
    prices.setFiltered(true);
    prices.first();
    std::printf("first filter, index built: %.0f ms (%d rows in view)\n",
                timer.nsecsElapsed() / 1e6, prices.recordCount());

    QRandomGenerator rng(42);
    std::vector<double> times;
    int rowsSeen = 0;
    for (int i = 0; i < 1000; ++i) {
        const QString text = filterFor(int(rng.bounded(Products)));
        timer.restart();
        prices.setFilter(text);
        prices.first();
        times.push_back(timer.nsecsElapsed() / 1e3);
        rowsSeen += prices.recordCount();
    }
    std::printf("filter change + first row over 1000 changes: median %.1f us, p95 %.1f us, "
                "max %.1f us (%.1f rows each)\n",
                median(times), percentile(times, 0.95),
                *std::max_element(times.begin(), times.end()), rowsSeen / 1000.0);

    // Editing under the filter keeps the index up to date incrementally.
    timer.restart();
    prices.edit();
    prices.fieldByName(u"VRPRECODIA").setAsFloat(7.5);
    prices.post();
    std::printf("post of one row under the filter: %.2f ms\n", timer.nsecsElapsed() / 1e6);
    std::printf("dataset bytes with the index: %.1f MB\n", prices.bytesUsed() / 1048576.0);
}

void benchItems()
{
    const qint64 rssBefore = residentBytes();
    ClientDataSet items;
    addFields(items, itemColumns);
    items.loadPacket(itemPacket(Products));
    const qint64 rssAfter = residentBytes();
    std::printf("price items: %d rows x %d fields: bytesUsed %.1f MB, RSS delta %.1f MB "
                "(target 64 MB)\n",
                items.recordCount(), items.fieldCount(), items.bytesUsed() / 1048576.0,
                (rssAfter - rssBefore) / 1048576.0);

    QElapsedTimer timer;
    for (const char *field : {"NMPRODUTO", "VRPRECITEM", "CDARVPROD"}) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            items.clearSort();
            timer.start();
            items.sortBy(QString::fromLatin1(field), i % 2 == 0);
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("sort 100,000 items by %s: median %.1f ms (target 100 ms)\n", field,
                    median(times));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchItems(); // first, so that its RSS delta is not hidden by freed memory
    benchFilter();
    return 0;
}
