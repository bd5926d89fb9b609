// Price changes for the shelf: the products whose price in force differs
// between two moments, and those the start of the next period changes.
#include "ServerTestBase.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestShelfChanges : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void init();

    // Across a period boundary, at the hour a differentiated price starts
    // and ends, on a holiday, from a day without a period: exactly the
    // products whose price moves, with both prices and the kind of change.
    void changes_data();
    void changes();
    // Each side says which rule decided; the rows come in tree code order
    // with name and code; the summary names the moments and periods.
    void rowsExplainThemselves();
    // On the demo's own data (many products, real differentiated prices,
    // a branch buying by another's table) the list is what asking the price
    // in force product by product at both moments gives.
    void agreesWithPriceInForce_data();
    void agreesWithPriceInForce();
    // The next approved period, its start compared with now; a pending
    // period after it changes no label and is named when it is the only
    // one ahead.
    void nextPeriod_data();
    void nextPeriod();
    void refusesBadRequests_data();
    void refusesBadRequests();

private:
    void exec(const QString &sql, const Binds &binds = {});
    void addItem(int month, const QString &product, double price);
    void addDayPrice(int month, const QString &product, const QString &day, const QString &from,
                     const QString &to, const QString &rule, double amount, double price);
    // "A 10,00>12,00 A" per row, products by their letter.
    QStringList described(const DataPacket &rows) const;

    QStringList m_products; // A, B, C...
};

namespace {

QDateTime at(int month, int day, int hour = 0, int minute = 0)
{
    return wallClock(QDate(2027, month, day), QTime(hour, minute));
}

QString money(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("-")
                      : QString::number(v.toDouble(), 'f', 2).replace(u'.', u',');
}

DataPacketPtr part(const Outcome &out, int index)
{
    return out.payload.toList().value(index).value<DataPacketPtr>();
}

} // namespace

void TestShelfChanges::exec(const QString &sql, const Binds &binds)
{
    scalar(sql, binds);
}

void TestShelfChanges::addItem(int month, const QString &product, double price)
{
    exec("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "VRPRECITEM, VRPRECITEMCL) VALUES ('0001', 'SH1', :s, :p, :p2, :v, 0)",
         {{":s", at(month, 1)}, {":p", product}, {":p2", product}, {":v", price}});
}

// Stored as a save stores it: with the price the rule gives on the item's
// price, for the general modality only, valid through the whole period.
void TestShelfChanges::addDayPrice(int month, const QString &product, const QString &day,
                                   const QString &from, const QString &to, const QString &rule,
                                   double amount, double price)
{
    exec("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
         "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, "
         "IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) VALUES ('0001', 'SH1', :s, :p, "
         ":p2, 'T', :d, :f, :t, :s2, :e, :pv, :da, :a, 0, 0, :price, 'N', 'S', 'N', 'N')",
         {{":s", at(month, 1)},
          {":p", product},
          {":p2", product},
          {":d", day},
          {":f", from},
          {":t", to},
          {":s2", at(month, 1)},
          {":e", at(month, 31)},
          {":pv", rule.left(1)},
          {":da", rule.mid(1, 1)},
          {":a", amount},
          {":price", price}});
}

// A table of its own on branch 0001: March and April 2027 approved, May
// pending. Six products with a tax rate in the branch (A to F):
//   March: A 10.00, B 8.00 (9.00 on a holiday), C 5.00, D 3.00,
//          F 6.00 (5.40 from 18:00 to 23:59)
//   April: A 12.00, B 8.00, C 4.50, E 7.00, F 6.00
// 15/03/2027, a Monday, is a holiday of branch 0001.
void TestShelfChanges::init()
{
    if (!m_products.isEmpty())
        return;
    const QVariantList taxed = column("SELECT CDPRODUTO FROM ALIQPROD WHERE CDFILIAL = '0001' "
                                      "ORDER BY CDPRODUTO");
    QVERIFY(taxed.size() >= 6);
    for (int i = 0; i < 6; ++i)
        m_products << taxed[i].toString();
    exec("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', 'SH1', "
         "'Gôndola')");
    const QString period = "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                           "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', 'SH1', :s, :e, :st)";
    exec(period, {{":s", at(3, 1)}, {":e", at(3, 31)}, {":st", "4"}});
    exec(period, {{":s", at(4, 1)}, {":e", at(4, 30)}, {":st", "4"}});
    exec(period, {{":s", at(5, 1)}, {":e", at(5, 31)}, {":st", "1"}});
    const QString &a = m_products[0], &b = m_products[1], &c = m_products[2], &d = m_products[3],
                  &e = m_products[4], &f = m_products[5];
    for (const auto &[product, price] : {std::pair{a, 10.0}, std::pair{b, 8.0}, std::pair{c, 5.0},
                                         std::pair{d, 3.0}, std::pair{f, 6.0}})
        addItem(3, product, price);
    for (const auto &[product, price] : {std::pair{a, 12.0}, std::pair{b, 8.0}, std::pair{c, 4.5},
                                         std::pair{e, 7.0}, std::pair{f, 6.0}})
        addItem(4, product, price);
    addDayPrice(3, f, "T", "1800", "2359", "PD", 10, 5.4);
    addDayPrice(3, b, "F", "0000", "2359", "VA", 1, 9.0);
    exec("DELETE FROM FERIADO WHERE DTFERIADO >= :a AND DTFERIADO <= :b",
         {{":a", at(3, 1)}, {":b", at(5, 31)}});
    exec("INSERT INTO FERIADO (CDFILIAL, DTFERIADO, NMFERIADO) VALUES ('0001', :d, "
         "'Aniversário da cidade')",
         {{":d", at(3, 15)}});
}

QStringList TestShelfChanges::described(const DataPacket &rows) const
{
    QStringList out;
    for (int r = 0; r < rows.rowCount(); ++r) {
        const int i = int(m_products.indexOf(value(rows, r, "CDPRODUTO").toString()));
        out << QStringLiteral("%1 %2>%3 %4")
                   .arg(i < 0 ? value(rows, r, "CDPRODUTO").toString() : QString(QChar(u'A' + i)),
                        money(value(rows, r, "VRPRECOANT")), money(value(rows, r, "VRPRECONOVO")),
                        value(rows, r, "IDALTERACAO").toString());
    }
    out.sort();
    return out;
}

void TestShelfChanges::changes_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("period boundary")
        << at(3, 31, 12) << at(4, 1, 12)
        << QStringList{"A 10,00>12,00 A", "C 5,00>4,50 B", "D 3,00>- E", "E ->7,00 I"};
    QTest::newRow("a differentiated price starts at 18:00")
        << at(3, 10, 17, 59) << at(3, 10, 18) << QStringList{"F 6,00>5,40 B"};
    QTest::newRow("and holds through 23:59") << at(3, 10, 18) << at(3, 10, 23, 59) << QStringList{};
    QTest::newRow("and ends with the day")
        << at(3, 10, 23, 59) << at(3, 11) << QStringList{"F 5,40>6,00 A"};
    QTest::newRow("holiday") << at(3, 14, 12) << at(3, 15, 12) << QStringList{"B 8,00>9,00 A"};
    QTest::newRow("the day after the holiday")
        << at(3, 15, 12) << at(3, 16, 12) << QStringList{"B 9,00>8,00 B"};
    QTest::newRow("nothing changes") << at(3, 2, 10) << at(3, 3, 10) << QStringList{};
    QTest::newRow("from a day without a period")
        << at(2, 27, 12) << at(3, 1, 12)
        << QStringList{"A ->10,00 I", "B ->8,00 I", "C ->5,00 I", "D ->3,00 I", "F ->6,00 I"};
    QTest::newRow("into a pending period")
        << at(4, 30, 12) << at(5, 1, 12)
        << QStringList{"A 12,00>- E", "B 8,00>- E", "C 4,50>- E", "E 7,00>- E", "F 6,00>- E"};
}

void TestShelfChanges::changes()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(QStringList, expected);
    const Outcome out = call("GetAlteracoesPreco", {"0001", "SH1", from, to});
    QVERIFY2(out.ok, qPrintable(out.message));
    const DataPacketPtr rows = part(out, 0);
    QVERIFY(rows);
    QCOMPARE(described(*rows), expected);
}

void TestShelfChanges::rowsExplainThemselves()
{
    const Outcome out = call("GetAlteracoesPreco", {"0001", "SH1", at(3, 15, 17), at(3, 31, 19)});
    QVERIFY2(out.ok, qPrintable(out.message));
    const DataPacketPtr rows = part(out, 0), summary = part(out, 1);
    QVERIFY(rows && summary);
    // B loses its holiday price, F gains its evening one.
    QCOMPARE(described(*rows), (QStringList{"B 9,00>8,00 B", "F 6,00>5,40 B"}));
    const int b = findRow(*rows, "CDPRODUTO", m_products[1]);
    const int f = findRow(*rows, "CDPRODUTO", m_products[5]);
    QCOMPARE(value(*rows, b, "IDSITANT").toString(), QStringLiteral("PRECO_DIFERENCIADO"));
    QCOMPARE(value(*rows, b, "DSREGRAANT").toString(),
             QStringLiteral("Preço diferenciado: Feriado, 00:00 às 23:59, tipo de consumidor "
                            "Todos, acréscimo de 1,00"));
    QCOMPARE(value(*rows, b, "IDSITNOVO").toString(), QStringLiteral("PRECO"));
    QCOMPARE(value(*rows, b, "DSREGRANOVA").toString(), QStringLiteral("Preço da tabela"));
    QCOMPARE(value(*rows, f, "DSREGRANOVA").toString(),
             QStringLiteral("Preço diferenciado: Todos os Dias, 18:00 às 23:59, tipo de "
                            "consumidor Todos, desconto de 10%"));
    for (int r = 0; r < rows->rowCount(); ++r) {
        const QString product = value(*rows, r, "CDPRODUTO").toString();
        QCOMPARE(value(*rows, r, "CDARVPROD"),
                 scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", product}}));
        QCOMPARE(value(*rows, r, "NMPRODUTO"),
                 scalar("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", product}}));
        if (r > 0) {
            QVERIFY(value(*rows, r - 1, "CDARVPROD").toString() <=
                    value(*rows, r, "CDARVPROD").toString());
        }
    }
    QCOMPARE(summary->rowCount(), 1);
    QCOMPARE(value(*summary, 0, "CDTABEPREC").toString(), QStringLiteral("SH1"));
    QCOMPARE(value(*summary, 0, "DTDE").toDateTime(), at(3, 15, 17));
    QCOMPARE(value(*summary, 0, "DTATE").toDateTime(), at(3, 31, 19));
    QCOMPARE(value(*summary, 0, "NRPRODUTOS").toInt(), 5);
    QCOMPARE(value(*summary, 0, "NRALTERADOS").toInt(), 2);
    const QString fromText = value(*summary, 0, "DSPERIODODE").toString();
    QVERIFY2(fromText.contains(QStringLiteral("01/03/2027 a 31/03/2027")) &&
                 fromText.contains(QStringLiteral("Feriado: Aniversário da cidade")),
             qPrintable(fromText));
}

void TestShelfChanges::agreesWithPriceInForce_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    const QDateTime today = day(0);
    QTest::newRow("morning to evening")
        << "0001"
        << "001" << today.addSecs(8 * 3600) << today.addSecs(20 * 3600);
    QTest::newRow("the past period to today")
        << "0001"
        << "001" << day(-40).addSecs(12 * 3600) << today.addSecs(12 * 3600);
    QTest::newRow("today to the coming period")
        << "0001"
        << "001" << today.addSecs(12 * 3600) << day(40).addSecs(12 * 3600);
    QTest::newRow("a branch buying by another's table")
        << "0002"
        << "" << day(-40).addSecs(19 * 3600) << today.addSecs(11 * 3600);
}

void TestShelfChanges::agreesWithPriceInForce()
{
    QFETCH(QString, branch);
    QFETCH(QString, table);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    // Product -> price, one product at a time from the batch answer.
    auto prices = [&](const QDateTime &when) {
        QHash<QString, QString> out;
        const DataPacketPtr p = read("GetPrecoVigenteLote", {branch, table, when, "T", "G", "T"});
        for (int r = 0; p && r < p->rowCount(); ++r) {
            const QString product = value(*p, r, "CDPRODUTO").toString();
            if (!product.isEmpty() && value(*p, r, "IDVENDA").toString() == u"S")
                out.insert(product, money(value(*p, r, "VRPRECO")));
        }
        return out;
    };
    const QHash<QString, QString> before = prices(from), after = prices(to);
    QStringList expected;
    QSet<QString> products(before.keyBegin(), before.keyEnd());
    products.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
    for (const QString &p : products) {
        const QString a = before.value(p, "-"), b = after.value(p, "-");
        if (a != b)
            expected << QStringLiteral("%1 %2>%3").arg(p, a, b);
    }
    expected.sort();

    const Outcome out = call("GetAlteracoesPreco", {branch, table, from, to});
    QVERIFY2(out.ok, qPrintable(out.message));
    const DataPacketPtr rows = part(out, 0);
    QStringList listed;
    for (int r = 0; r < rows->rowCount(); ++r) {
        listed << QStringLiteral("%1 %2>%3")
                      .arg(value(*rows, r, "CDPRODUTO").toString(),
                           money(value(*rows, r, "VRPRECOANT")),
                           money(value(*rows, r, "VRPRECONOVO")));
    }
    listed.sort();
    QCOMPARE(listed, expected);
}

void TestShelfChanges::nextPeriod_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QStringList>("expected");
    // At 10:00 of the holiday B sells at 9.00; April gives it 8.00 again.
    QTest::newRow("on a holiday in March")
        << at(3, 15, 10) << at(4, 1)
        << QStringList{"A 10,00>12,00 A", "B 9,00>8,00 B", "C 5,00>4,50 B", "D 3,00>- E",
                       "E ->7,00 I"};
    QTest::newRow("the evening before") << at(3, 31, 20) << at(4, 1)
                                        << QStringList{"A 10,00>12,00 A", "C 5,00>4,50 B",
                                                       "D 3,00>- E", "E ->7,00 I", "F 5,40>6,00 A"};
    QTest::newRow("before any period")
        << at(2, 10, 9) << at(3, 1)
        << QStringList{"A ->10,00 I", "B ->8,00 I", "C ->5,00 I", "D ->3,00 I", "F ->6,00 I"};
}

void TestShelfChanges::nextPeriod()
{
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, start);
    QFETCH(QStringList, expected);
    const Outcome out = call("GetAlteracoesPrecoProxVig", {"0001", "SH1", now});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(described(*part(out, 0)), expected);
    QCOMPARE(value(*part(out, 1), 0, "DTDE").toDateTime(), now);
    QCOMPARE(value(*part(out, 1), 0, "DTATE").toDateTime(), start);
}

void TestShelfChanges::refusesBadRequests_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("the end before the start")
        << "GetAlteracoesPreco" << QVariantList{"0001", "SH1", at(3, 2), at(3, 1)}
        << "O momento final (01/03/2027 00:00) deve ser posterior ao inicial (02/03/2027 00:00).";
    QTest::newRow("the same moment twice")
        << "GetAlteracoesPreco" << QVariantList{"0001", "SH1", at(3, 2), at(3, 2)}
        << "O momento final (02/03/2027 00:00) deve ser posterior ao inicial (02/03/2027 00:00).";
    QTest::newRow("an unknown table")
        << "GetAlteracoesPreco" << QVariantList{"0001", "XX9", at(3, 1), at(3, 2)}
        << "Tabela de preço XX9 não cadastrada na filial 0001.";
    QTest::newRow("an unknown branch")
        << "GetAlteracoesPrecoProxVig" << QVariantList{"0999", "", at(3, 1)}
        << "Filial 0999 não cadastrada.";
    // The period that starts today is already in force; May is pending.
    QTest::newRow("only a pending period ahead")
        << "GetAlteracoesPrecoProxVig" << QVariantList{"0001", "SH1", at(4, 1, 8)}
        << "Nenhum período aprovado da tabela SH1 começa depois de 01/04/2027. O período de "
           "01/05/2027 está pendente e só um período aprovado vende.";
    QTest::newRow("nothing ahead")
        << "GetAlteracoesPrecoProxVig" << QVariantList{"0001", "SH1", at(5, 1)}
        << "Nenhum período aprovado da tabela SH1 começa depois de 01/05/2027.";
}

void TestShelfChanges::refusesBadRequests()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(QString, message);
    const Outcome out = call(method, args);
    QVERIFY(!out.ok);
    QCOMPARE(out.message, message);
}

PRX_SERVER_TEST_MAIN(TestShelfChanges)
#include "tst_shelfchanges.moc"
