#include "pricetable/ScreenTexts.h"

#include "dataset/ClientDataSet.h"
#include "dataset/FieldDef.h"
#include "services/Messages.h"

#include <QTest>

using namespace prx;
using namespace prx::pricetable;

class ScreenTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Every stored code must show its catalogue word, unknown codes nothing,
    // and a typed word must store its code back: a mismatch would save the
    // wrong day or modality.
    void codingsRoundTrip_data();
    void codingsRoundTrip();
    // A word that is not in the list must not be turned into some code.
    void unknownWordStoresNothing();
    // Hours are stored as four digits and shown with a colon.
    void hourText_data();
    void hourText();
    // Only the hours of a day pass; anything else must be refused before it
    // is saved as a sale window.
    void validHour_data();
    void validHour();
    // Periods in force: both ends included, an open end is never in force.
    void inForce_data();
    void inForce();
    // The description line joins the name and both dates in the screen's format.
    void periodDescription();
    // A code holding a quote must select its own rows only, never break or
    // widen the filter.
    void filterSelectsOnlyTheItem();
    // Rows above cost are blue, below cost (or subsidised below cost) red.
    void itemRowTone_data();
    void itemRowTone();

private:
    TMessages m_msg;
};

void ScreenTextsTest::initTestCase()
{
    m_msg = TMessages::fromFile(QStringLiteral(":/prx51700/msgPadrao.txt"));
    QVERIFY2(m_msg.count() > 50, "the screen's catalogue must be compiled into the module");
}

void ScreenTextsTest::codingsRoundTrip_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("word");
    QTest::newRow("status pending") << 0 << "1"
                                    << "Pendente";
    QTest::newRow("status approved") << 0 << "4"
                                     << "Aprovada";
    QTest::newRow("yes") << 1 << "S"
                         << "Sim";
    QTest::newRow("no") << 1 << "N"
                        << "Não";
    QTest::newRow("sunday") << 2 << "1"
                            << "Domingo";
    QTest::newRow("saturday") << 2 << "7"
                              << "Sábado";
    QTest::newRow("eve") << 2 << "V"
                         << "Véspera de Feriado";
    QTest::newRow("holiday") << 2 << "F"
                             << "Feriado";
    QTest::newRow("every day") << 2 << "T"
                               << "Todos os Dias";
    QTest::newRow("percent") << 3 << "P"
                             << "Percentual";
    QTest::newRow("fixed") << 3 << "V"
                           << "Valor Fixo";
    QTest::newRow("discount") << 4 << "D"
                              << "Desconto";
    QTest::newRow("increase") << 4 << "A"
                              << "Acréscimo";
    QTest::newRow("shown") << 5 << "S"
                           << "Sim";
    QTest::newRow("unknown status") << 0 << "9"
                                    << "";
    QTest::newRow("empty status") << 0 << ""
                                  << "";
    QTest::newRow("unknown day") << 2 << "8"
                                 << "";
}

static const QList<Coding> &listOf(int index)
{
    switch (index) {
    case 0:
        return statusCodings();
    case 1:
        return simNaoCodings();
    case 2:
        return dayCodings();
    case 3:
        return percValorCodings();
    case 4:
        return descAcreCodings();
    default:
        return visualizaCodings();
    }
}

void ScreenTextsTest::codingsRoundTrip()
{
    QFETCH(int, list);
    QFETCH(QString, code);
    QFETCH(QString, word);
    QCOMPARE(codingText(listOf(list), m_msg, code), word);
    if (!word.isEmpty())
        QCOMPARE(codingCode(listOf(list), m_msg, word).value_or(QStringLiteral("?")), code);
}

void ScreenTextsTest::unknownWordStoresNothing()
{
    QVERIFY(!codingCode(dayCodings(), m_msg, QStringLiteral("Domingos")).has_value());
    QVERIFY(!codingCode(simNaoCodings(), m_msg, QStringLiteral("sim")).has_value());
    QVERIFY(!codingCode(simNaoCodings(), m_msg, QString()).has_value());
    QCOMPARE(codingTexts(dayCodings(), m_msg).size(), 10);
    QCOMPARE(codingTexts(dayCodings(), m_msg).last(), QStringLiteral("Todos os Dias"));
}

void ScreenTextsTest::hourText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("morning") << "0930"
                             << "09:30";
    QTest::newRow("night") << "2359"
                           << "23:59";
}

void ScreenTextsTest::hourText()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(pricetable::hourText(stored), shown);
}

void ScreenTextsTest::validHour_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("valid");
    QTest::newRow("midnight") << "0000" << true;
    QTest::newRow("last minute") << "2359" << true;
    QTest::newRow("minute 60") << "2460" << false;
    QTest::newRow("hour 24") << "2400" << false;
    QTest::newRow("hour 25") << "2510" << false;
    QTest::newRow("minute 60 in the morning") << "0960" << false;
    QTest::newRow("three digits") << "930" << false;
    QTest::newRow("five digits") << "09300" << false;
    QTest::newRow("blanks") << "09 3" << false;
    QTest::newRow("letters") << "ab12" << false;
    QTest::newRow("empty") << "" << false;
}

void ScreenTextsTest::validHour()
{
    QFETCH(QString, stored);
    QFETCH(bool, valid);
    QCOMPARE(pricetable::validHour(stored), valid);
}

void ScreenTextsTest::inForce_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<bool>("expected");
    const QDateTime s = wallClock(QDate(2026, 11, 7));
    const QDateTime e = wallClock(QDate(2027, 1, 5));
    QTest::newRow("first day") << QDate(2026, 11, 7) << s << e << true;
    QTest::newRow("last day") << QDate(2027, 1, 5) << s << e << true;
    QTest::newRow("day before") << QDate(2026, 11, 6) << s << e << false;
    QTest::newRow("day after") << QDate(2027, 1, 6) << s << e << false;
    QTest::newRow("open end") << QDate(2026, 12, 1) << s << QDateTime() << false;
    QTest::newRow("open start") << QDate(2026, 12, 1) << QDateTime() << e << true;
}

void ScreenTextsTest::inForce()
{
    QFETCH(QDate, today);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(bool, expected);
    QCOMPARE(pricetable::inForce(today, start, end), expected);
}

void ScreenTextsTest::periodDescription()
{
    const QString text = pricetable::periodDescription(
        QStringLiteral("Balcão"), m_msg.Msg(QStringLiteral("Vigencia")),
        wallClock(QDate(2026, 11, 7)), wallClock(QDate(2027, 1, 5), QTime(18, 30)));
    QCOMPARE(text, QStringLiteral("Balcão - Vigência : 07/11/2026 - 05/01/2027 18:30:00"));
}

void ScreenTextsTest::filterSelectsOnlyTheItem()
{
    ClientDataSet ds;
    ds.addField(QStringLiteral("CDFILIAL"), FieldType::String, 4);
    ds.addField(QStringLiteral("CDTABEPREC"), FieldType::String, 3);
    ds.addField(QStringLiteral("DTINIVGPREC"), FieldType::DateTime);
    ds.addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    ds.addField(QStringLiteral("CDPRPAITABPR"), FieldType::String, 10);
    ds.createDataSet();
    const QDateTime start = wallClock(QDate(2026, 11, 7));
    ds.appendRecord({"0001", "001", start, "A'B", "A'B"});
    ds.appendRecord({"0001", "001", start, "A", "A"});
    ds.appendRecord({"0001", "001", start, "X", "X"});
    ds.appendRecord({"0001", "001", wallClock(QDate(2026, 9, 8)), "X", "X"});

    ds.first(); // the period's start as its field shows it
    const QString startText = ds.fieldByName(u"DTINIVGPREC").displayText();
    ds.setFilter(precoHoraFilter("0001", "001", startText, "A'B", "A'B"));
    ds.setFiltered(true);
    QCOMPARE(ds.recordCount(), 1);
    QCOMPARE(ds.fieldByName(u"CDPRODUTO").asString(), QStringLiteral("A'B"));

    // A value crafted to close the quote and add a term of its own.
    ds.setFilter(precoHoraFilter("0001", "001", startText, "X' or CDPRODUTO = 'A", "X"));
    QCOMPARE(ds.recordCount(), 0);

    ds.setFilter(precoHoraFilter("0001", "001", startText, "X", "X"));
    QCOMPARE(ds.recordCount(), 1);
}

void ScreenTextsTest::itemRowTone_data()
{
    QTest::addColumn<QVariant>("price");
    QTest::addColumn<QVariant>("client");
    QTest::addColumn<QVariant>("cost");
    QTest::addColumn<int>("tone");
    const QVariant none;
    QTest::newRow("above cost") << QVariant(10.0) << QVariant(0.0) << QVariant(8.0)
                                << int(ItemRowTone::AboveCost);
    QTest::newRow("below cost") << QVariant(7.99) << QVariant(0.0) << QVariant(8.0)
                                << int(ItemRowTone::BelowCost);
    QTest::newRow("no cost") << QVariant(7.0) << QVariant(0.0) << none << int(ItemRowTone::Normal);
    QTest::newRow("at cost") << QVariant(8.0) << QVariant(0.0) << QVariant(8.0)
                             << int(ItemRowTone::Normal);
    QTest::newRow("no price, some cost")
        << none << none << QVariant(8.89) << int(ItemRowTone::BelowCost);
    QTest::newRow("negative cost, zero price")
        << QVariant(0.0) << QVariant(0.0) << QVariant(-1.0) << int(ItemRowTone::AboveCost);
}

void ScreenTextsTest::itemRowTone()
{
    QFETCH(QVariant, price);
    QFETCH(QVariant, client);
    QFETCH(QVariant, cost);
    QFETCH(int, tone);
    auto opt = [](const QVariant &v) {
        return v.isNull() ? std::optional<double>() : std::optional<double>(v.toDouble());
    };
    QCOMPARE(int(pricetable::itemRowTone(opt(price), opt(client), opt(cost))), tone);
}

QTEST_APPLESS_MAIN(ScreenTextsTest)
#include "tst_screentexts.moc"
