// The price in force at a moment, answered by the server from stored
// periods, items, differentiated prices and holidays; and the holiday
// calendar's methods.
#include "ServerTestBase.h"
#include "demo/DemoHolidays.h"
#include "money/Decimal.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestPriceInForce : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void init();

    // Moments against prices and the winning rule: the boundaries of hour
    // windows, validity ranges and periods, holidays and eves, consumer
    // types, modalities and the sale window.
    void priceAtMoment_data();
    void priceAtMoment();
    // The batch form gives, product by product, the single answer.
    void batchAgreesWithSingle();
    // Without a table the branch's assigned table answers; holidays are the
    // selling branch's.
    void tableOfTheBranch();
    void refusesBadRequests_data();
    void refusesBadRequests();
    // A holiday added through the calendar changes the price; duplicates
    // and unknown dates are refused.
    void holidayCalendar();
    // The demo seeds the movable national holidays on their dates.
    void movableHolidays_data();
    void movableHolidays();

private:
    void exec(const QString &sql, const QList<std::pair<QString, QVariant>> &binds = {});
    void addDayPrice(const QString &product, const QString &day, const QString &from,
                     const QString &to, const QString &consumer, int validFrom, int validTo,
                     const QString &rule, double amount, const QString &modalities, double price);
    DataPacketPtr single(const QDateTime &at, const QString &consumer = QStringLiteral("T"),
                         const QString &modality = QStringLiteral("G"),
                         const QString &branch = QStringLiteral("0001"),
                         const QString &table = QStringLiteral("PV1"));
    static QString ruleLabel(const DataPacket &p, int row);

    QString m_x, m_y;
};

namespace {
QDateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return wallClock(QDate(year, month, day), QTime(hour, minute, second));
}
QDateTime march(int day)
{
    return at(2027, 3, day);
}
} // namespace

void TestPriceInForce::exec(const QString &sql, const QList<std::pair<QString, QVariant>> &binds)
{
    scalar(sql, binds);
}

void TestPriceInForce::addDayPrice(const QString &product, const QString &day, const QString &from,
                                   const QString &to, const QString &consumer, int validFrom,
                                   int validTo, const QString &rule, double amount,
                                   const QString &modalities, double price)
{
    // Stored as a save stores it: with the price the amount gives on the
    // item's price of each modality it takes part in.
    const QVariant none(QMetaType::fromType<double>());
    exec("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
         "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, "
         "IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) VALUES ('0001', 'PV1', :s, :p, :p2, "
         ":c, :d, :f, :t, :vf, :vt, :pv, :da, :a1, :a2, 0, :pg, :pd, 'N', :mg, :md, 'N')",
         {{":s", march(1)},
          {":p", product},
          {":p2", product},
          {":c", consumer},
          {":d", day},
          {":f", from},
          {":t", to},
          {":vf", march(validFrom)},
          {":vt", march(validTo)},
          {":pv", rule.left(1)},
          {":da", rule.mid(1, 1)},
          {":a1", modalities.contains(u'G') ? amount : 0.0},
          {":a2", modalities.contains(u'D') ? amount : 0.0},
          {":pg", modalities.contains(u'G') ? QVariant(price) : none},
          {":pd", modalities.contains(u'D') ? QVariant(price) : none},
          {":mg", modalities.contains(u'G') ? "S" : "N"},
          {":md", modalities.contains(u'D') ? "S" : "N"}});
}

// A table of its own on branch 0001: a released February (never sells), an
// approved March and an approved April without an end. Product X costs
// 10.00 (delivery 12.00, no order-pad price) in March and 20.00 in April
// with a sale window across midnight; product Y 4.00 in March.
void TestPriceInForce::init()
{
    if (!m_x.isEmpty())
        return;
    const QVariantList products = column("SELECT CDPRODUTO FROM PRODUTO ORDER BY CDPRODUTO");
    QVERIFY(products.size() >= 2);
    m_x = products[0].toString();
    m_y = products[1].toString();
    exec("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', 'PV1', "
         "'Vigente')");
    const QString period = "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                           "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', 'PV1', :s, :e, :st)";
    exec(period, {{":s", at(2027, 2, 1)}, {":e", at(2027, 2, 28)}, {":st", "2"}});
    exec(period, {{":s", march(1)}, {":e", march(31)}, {":st", "4"}});
    exec(period,
         {{":s", at(2027, 4, 1)}, {":e", QVariant(QMetaType::fromType<QString>())}, {":st", "4"}});
    const QString item = "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                         "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, VRPRECITEMCL, "
                         "HRINIVENPROD, HRFIMVENPROD) VALUES ('0001', 'PV1', :s, :p, :p2, :v, "
                         ":dlv, NULL, 0, :hf, :ht)";
    const QVariant none(QMetaType::fromType<QString>());
    exec(item, {{":s", at(2027, 2, 1)},
                {":p", m_x},
                {":p2", m_x},
                {":v", 7.0},
                {":dlv", none},
                {":hf", none},
                {":ht", none}});
    exec(item, {{":s", march(1)},
                {":p", m_x},
                {":p2", m_x},
                {":v", 10.0},
                {":dlv", 12.0},
                {":hf", none},
                {":ht", none}});
    exec(item, {{":s", march(1)},
                {":p", m_y},
                {":p2", m_y},
                {":v", 4.0},
                {":dlv", none},
                {":hf", none},
                {":ht", none}});
    exec(item, {{":s", at(2027, 4, 1)},
                {":p", m_x},
                {":p2", m_x},
                {":v", 20.0},
                {":dlv", none},
                {":hf", "1800"},
                {":ht", "0200"}});
    // The price each rule gives, on 10.00 (delivery 12.00) and on 4.00.
    addDayPrice(m_x, "T", "0000", "2359", "T", 1, 31, "PD", 10, "G", 9.0);
    addDayPrice(m_x, "2", "1700", "1900", "T", 1, 31, "PD", 20, "G", 8.0);   // Monday
    addDayPrice(m_x, "F", "1800", "2359", "T", 1, 31, "VA", 3, "G", 13.0);   // holiday
    addDayPrice(m_x, "V", "0000", "2359", "T", 1, 31, "PA", 5, "G", 10.5);   // eve
    addDayPrice(m_x, "T", "1200", "1400", "01", 10, 20, "PD", 50, "G", 5.0); // staff
    addDayPrice(m_x, "T", "1230", "1330", "T", 1, 31, "VD", 0.5, "G", 9.5);
    addDayPrice(m_x, "T", "0000", "2359", "T", 20, 31, "PD", 15, "G", 8.5); // late March
    addDayPrice(m_x, "T", "0600", "2300", "T", 1, 31, "VD", 2, "D", 10.0);  // delivery
    addDayPrice(m_y, "T", "0000", "2359", "02", 1, 31, "PD", 25, "G", 3.0);
    // 15/03 (a Monday) is a holiday of branch 0001 and 10/03 one of branch
    // 0002 only; 26/03 is national (Sexta-feira Santa 2027).
    exec("DELETE FROM FERIADO WHERE DTFERIADO >= :a AND DTFERIADO <= :b",
         {{":a", march(1)}, {":b", at(2027, 4, 30)}});
    const QString holiday = "INSERT INTO FERIADO (CDFILIAL, DTFERIADO, NMFERIADO) VALUES (:b, "
                            ":d, :n)";
    exec(holiday, {{":b", "0001"}, {":d", march(15)}, {":n", "Aniversário da cidade"}});
    exec(holiday, {{":b", "0002"}, {":d", march(10)}, {":n", "Padroeira"}});
    exec(holiday, {{":b", "T"}, {":d", march(26)}, {":n", "Sexta-feira Santa"}});
}

DataPacketPtr TestPriceInForce::single(const QDateTime &when, const QString &consumer,
                                       const QString &modality, const QString &branch,
                                       const QString &table)
{
    return read("GetPrecoVigente", {branch, table, m_x, when, consumer, modality});
}

QString TestPriceInForce::ruleLabel(const DataPacket &p, int row)
{
    if (value(p, row, "NRDIASEMANPR").toString().isEmpty())
        return {};
    return QStringLiteral("%1 %2-%3 %4 %5")
        .arg(value(p, row, "NRDIASEMANPR").toString(), value(p, row, "HRINIPRECDIA").toString(),
             value(p, row, "HRFINPRECDIA").toString(), value(p, row, "CDTIPOCONSPD").toString(),
             value(p, row, "DTINIVALPREC").toDateTime().date().toString(u"dd"));
}

void TestPriceInForce::priceAtMoment_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("consumer");
    QTest::addColumn<QString>("modality");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("decidedBy");
    const QString T = "T", G = "G", diff = "PRECO_DIFERENCIADO";
    const QString everyDay = "T 0000-2359 T 01", monday = "2 1700-1900 T 01",
                  holiday = "F 1800-2359 T 01", late = "T 0000-2359 T 20";
    auto row = [&](const char *name, QDateTime when, QString consumer, QString modality,
                   QString situation, QString price, QString rule, QString decided) {
        QTest::newRow(name) << when << consumer << modality << situation << price << rule
                            << decided;
    };
    const QDateTime m1 = march(1);
    row("first minute of the period", m1, T, G, diff, "9", everyDay, "UNICA");
    row("first minute of a weekday window", m1.addSecs(17 * 3600), T, G, diff, "8", monday, "DIA");
    row("last minute of a weekday window", m1.addSecs(19 * 3600 + 59), T, G, diff, "8", monday,
        "DIA");
    row("minute after the window", m1.addSecs(19 * 3600 + 60), T, G, diff, "9", everyDay, "UNICA");
    row("minute before the window", m1.addSecs(16 * 3600 + 59 * 60), T, G, diff, "9", everyDay,
        "UNICA");
    row("holiday on a Monday, before its window", march(15).addSecs(17 * 3600 + 1800), T, G, diff,
        "8", monday, "DIA");
    row("holiday on a Monday, in its window", march(15).addSecs(18 * 3600 + 1800), T, G, diff, "13",
        holiday, "DIA");
    row("holiday window ending at midnight", march(15).addSecs(86399), T, G, diff, "13", holiday,
        "DIA");
    row("eve of a holiday", march(14).addSecs(10 * 3600), T, G, diff, "10.5", "V 0000-2359 T 01",
        "DIA");
    row("another branch's holiday", march(10).addSecs(19 * 3600), T, G, diff, "9", everyDay,
        "UNICA");
    row("national holiday", march(26).addSecs(19 * 3600), T, G, diff, "13", holiday, "DIA");
    row("consumer type before T", march(15).addSecs(12 * 3600), "01", G, diff, "5",
        "T 1200-1400 01 10", "TIPO_CONSUMIDOR");
    row("day before the validity", march(9).addSecs(12 * 3600), "01", G, diff, "9", everyDay,
        "UNICA");
    row("first day of the validity", march(10).addSecs(12 * 3600), "01", G, diff, "5",
        "T 1200-1400 01 10", "TIPO_CONSUMIDOR");
    row("last minute of the validity", march(20).addSecs(14 * 3600 + 59), "01", G, diff, "5",
        "T 1200-1400 01 10", "TIPO_CONSUMIDOR");
    row("day after the validity", march(21).addSecs(12 * 3600), "01", G, diff, "8.5", late,
        "INICIO_VALIDADE");
    row("narrower hour window", march(12).addSecs(13 * 3600), "02", G, diff, "9.5",
        "T 1230-1330 T 01", "FAIXA_HORARIO");
    row("delivery", m1.addSecs(10 * 3600), T, "D", diff, "10", "T 0600-2300 T 01", "UNICA");
    row("no order-pad price", m1.addSecs(10 * 3600), T, "C", "SEM_PRECO_MODALIDADE", "", "", "");
    row("last minute of the period", march(31).addSecs(86399), T, G, diff, "8.5", late,
        "INICIO_VALIDADE");
    row("first day of a period without end", at(2027, 4, 1, 18), T, G, "PRECO", "20", "", "");
    row("years into a period without end", at(2031, 6, 1, 20), T, G, "PRECO", "20", "", "");
    row("sale window across midnight, last minute", at(2027, 4, 2, 2, 0, 59), T, G, "PRECO", "20",
        "", "");
    row("sale window, minute after", at(2027, 4, 2, 2, 1), T, G, "FORA_HORARIO", "", "", "");
    row("sale window, minute before", at(2027, 4, 2, 17, 59), T, G, "FORA_HORARIO", "", "", "");
    row("released period does not sell", at(2027, 2, 10, 12), T, G, "SEM_PERIODO", "", "", "");
    row("no period at all", at(2027, 1, 10, 12), T, G, "SEM_PERIODO", "", "", "");
}

void TestPriceInForce::priceAtMoment()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, consumer);
    QFETCH(QString, modality);
    QFETCH(QString, situation);
    QFETCH(QString, price);
    QFETCH(QString, rule);
    QFETCH(QString, decidedBy);
    const DataPacketPtr p = single(when, consumer, modality);
    QCOMPARE(p->rowCount(), 1);
    QCOMPARE(value(*p, 0, "IDSITUACAO").toString(), situation);
    QCOMPARE(value(*p, 0, "IDVENDA").toString(), price.isEmpty() ? "N" : "S");
    const QVariant got = value(*p, 0, "VRPRECO");
    QCOMPARE(got.isNull() ? QString() : Decimal::fromDouble(got.toDouble()).toString(), price);
    QCOMPARE(ruleLabel(*p, 0), rule);
    QCOMPARE(value(*p, 0, "IDCRITERIO").toString(), decidedBy);
    QVERIFY(!value(*p, 0, "DSEXPLICACAO").toString().isEmpty());
}

void TestPriceInForce::batchAgreesWithSingle()
{
    for (const QDateTime &when :
         {march(15).addSecs(18 * 3600 + 1800), march(3).addSecs(12 * 3600)}) {
        for (const QString consumer : {"T", "02"}) {
            const DataPacketPtr all =
                read("GetPrecoVigenteLote", {"0001", "PV1", when, consumer, "G", "T"});
            QCOMPARE(all->rowCount(), 2);
            for (int r = 0; r < all->rowCount(); ++r) {
                const QString product = value(*all, r, "CDPRODUTO").toString();
                const DataPacketPtr one =
                    read("GetPrecoVigente", {"0001", "PV1", product, when, consumer, "G"});
                for (int c = 0; c < one->columnCount(); ++c)
                    QCOMPARE(all->value(r, c), one->value(0, c));
            }
        }
    }
    // A list keeps its order and answers for a product without a price too.
    const DataPacketPtr listed =
        read("GetPrecoVigenteLote", {"0001", "PV1", march(3), "02", "G", m_y + ", NOPE;" + m_x});
    QCOMPARE(listed->rowCount(), 3);
    QCOMPARE(value(*listed, 0, "VRPRECO").toDouble(), 3.0);
    QCOMPARE(value(*listed, 1, "IDSITUACAO").toString(), "SEM_PRECO");
    QCOMPARE(value(*listed, 2, "CDPRODUTO").toString(), m_x);
}

void TestPriceInForce::tableOfTheBranch()
{
    // Branch 0002 buys by table 002 of branch 0001 (the demo's assignment).
    const DataPacketPtr p = read("GetPrecoVigente", {"0002", "", m_x, day(-60), "T", "G"});
    QCOMPARE(value(*p, 0, "CDFILIAL").toString(), "0001");
    QCOMPARE(value(*p, 0, "CDTABEPREC").toString(), "002");
    const Outcome none = call("GetPrecoVigente", {"0003", "", m_x, day(0), "T", "G"});
    QVERIFY(!none.ok);
    QVERIFY2(none.message.contains("não tem tabela de preço atribuída"), qPrintable(none.message));
    // The calendar is the selling branch's: 15/03 is a holiday of 0001,
    // whose table 0003 buys by, not of 0003.
    exec("INSERT INTO TABPRECFILI (CDFILIAL, CDFILTABPR, CDTABEPREC) VALUES ('0003', '0001', "
         "'PV1')");
    const DataPacketPtr sold =
        read("GetPrecoVigente", {"0003", "", m_x, march(15).addSecs(18 * 3600 + 1800), "T", "G"});
    QCOMPARE(value(*sold, 0, "NMFERIADO").toString(), QString());
    QCOMPARE(value(*sold, 0, "VRPRECO").toDouble(), 8.0);
    exec("DELETE FROM TABPRECFILI WHERE CDFILIAL = '0003'");
}

void TestPriceInForce::refusesBadRequests_data()
{
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("message");
    const QDateTime when = march(3);
    QTest::newRow("modality") << QVariantList{"0001", "PV1", "X", when, "T", "Z"}
                              << "Modalidade inválida";
    QTest::newRow("table") << QVariantList{"0001", "ZZZ", "X", when, "T", "G"}
                           << "Tabela de preço ZZZ não cadastrada";
    QTest::newRow("branch") << QVariantList{"9999", "PV1", "X", when, "T", "G"}
                            << "Filial 9999 não cadastrada";
    QTest::newRow("product") << QVariantList{"0001", "PV1", " ", when, "T", "G"}
                             << "Informe o produto";
}

void TestPriceInForce::refusesBadRequests()
{
    QFETCH(QVariantList, args);
    QFETCH(QString, message);
    const Outcome o = call("GetPrecoVigente", args);
    QVERIFY(!o.ok);
    QVERIFY2(o.message.contains(message), qPrintable(o.message));
}

void TestPriceInForce::holidayCalendar()
{
    const QDateTime monday = march(22);
    const QDateTime evening = monday.addSecs(18 * 3600 + 1800);
    QCOMPARE(value(*single(evening), 0, "VRPRECO").toDouble(), 8.0);
    QVERIFY(call("SetFeriado", {"0001", monday, "Feriado municipal"}).ok);
    QCOMPARE(value(*single(evening), 0, "VRPRECO").toDouble(), 13.0);
    QCOMPARE(value(*single(march(21)), 0, "NRDIASEMANPR").toString(), "V");

    const Outcome twice = call("SetFeriado", {"0001", monday, "Outro"});
    QVERIFY(!twice.ok);
    QVERIFY2(twice.message.contains("já cadastrado"), qPrintable(twice.message));
    // A national date is already kept by every branch.
    QVERIFY(!call("SetFeriado", {"0002", march(26), "Outro"}).ok);
    QVERIFY(!call("SetFeriado", {"9999", monday, "Outro"}).ok);

    const DataPacketPtr list = read("GetFeriado", {"0001", 2027});
    QVERIFY(findRow(*list, "NMFERIADO", "Feriado municipal") >= 0);
    QVERIFY(findRow(*list, "NMFERIADO", "Sexta-feira Santa") >= 0);
    QCOMPARE(findRow(*list, "NMFERIADO", "Padroeira"), -1);

    QVERIFY(call("DelFeriado", {"0001", monday}).ok);
    QCOMPARE(value(*single(evening), 0, "VRPRECO").toDouble(), 8.0);
    const Outcome gone = call("DelFeriado", {"0001", monday});
    QVERIFY(!gone.ok);
    QVERIFY2(gone.message.contains("não cadastrado"), qPrintable(gone.message));
}

void TestPriceInForce::movableHolidays_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QDate>("easter");
    QTest::newRow("2024") << 2024 << QDate(2024, 3, 31);
    QTest::newRow("2025") << 2025 << QDate(2025, 4, 20);
    QTest::newRow("2026") << 2026 << QDate(2026, 4, 5);
    QTest::newRow("2027") << 2027 << QDate(2027, 3, 28);
    QTest::newRow("2038 latest") << 2038 << QDate(2038, 4, 25);
    QTest::newRow("2285 earliest") << 2285 << QDate(2285, 3, 22);
}

void TestPriceInForce::movableHolidays()
{
    QFETCH(int, year);
    QFETCH(QDate, easter);
    QCOMPARE(easterSunday(year), easter);
    QMap<QString, QDate> byName;
    for (const Holiday &h : nationalHolidays(year))
        byName.insert(h.name, h.date);
    QCOMPARE(byName.value("Sexta-feira Santa"), easter.addDays(-2));
    QCOMPARE(byName.value("Corpus Christi"), easter.addDays(60));
    QCOMPARE(carnivalDays(year).value(1).date, easter.addDays(-47));
    // The demo wrote this year's national dates when its periods touch it.
    const int thisYear = fixtureOptions().today.year();
    if (year == thisYear) {
        QCOMPARE(scalar("SELECT NMFERIADO FROM FERIADO WHERE CDFILIAL = 'T' AND DTFERIADO = :d",
                        {{":d", wallClock(easter.addDays(-2))}})
                     .toString(),
                 "Sexta-feira Santa");
    }
}

PRX_SERVER_TEST_MAIN(TestPriceInForce)
#include "tst_priceinforce.moc"
