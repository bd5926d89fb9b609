#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/UserAction.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QScopeGuard>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

namespace {

const QString kClash = QStringLiteral("Preço diferenciado já cadastrado para os dados informados.");

} // namespace

// Entering, checking and saving differentiated prices, and the bulk raise of
// consumer prices, on the screen over a real server.
class DayPricesTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // The resulting price follows the column typed into, exactly.
    void computedFromTheTypedColumn_data();
    void computedFromTheTypedColumn();

    // Each refusal shows its text, focuses its column and sends nothing.
    void refusals_data();
    void refusals();

    // Tabbing through "Preço" and confirming there keeps the amount typed:
    // a price the user did not change is not worked back into an amount.
    void passingThroughThePrice();

    // A typed price no two-decimal amount gives is stored only as the price
    // it becomes, after the user agreed to it; the saved row then reads back
    // as shown, so that it can be edited and deleted at once.
    void typedPriceNotReached_data();
    void typedPriceNotReached();

    // Rows at the edges that must pass, and what they are saved with.
    void accepted_data();
    void accepted();

    // A period without an end bounds no validity end.
    void periodWithoutEnd();

    // A saved row: a change of only the amounts asks for no clash, a change
    // of mode recomputes the price, a modality switched off keeps no price,
    // a new validity start is checked for a clash.
    void editingASavedRow();

    // Another client saved the same key first: refused, still one row.
    void sameKeyFromAnotherClient();

    // A changed item price carries its differentiated prices along, and the
    // rows can still be edited and saved afterwards.
    void itemPriceChangeFollows();

    // The search offers the branch's consumer types, or every type when the
    // branch links none; the choice fills the code and the name.
    void consumerTypeSearch_data();
    void consumerTypeSearch();

    // No to the question sends nothing; yes raises, reloads and reports once.
    void bulkPriceUpdate();

private:
    // The first plain priced item of the period, without differentiated
    // prices, with these prices; the item in focus. Empty when none.
    QString prepareItem(TfrmTabePreco *form, const QString &prices);
    void newRow(TfrmTabePreco *form, const QVariantHash &values);
    static void select(TfrmTabePreco *form, const QString &field);
    // Keys the text into the cell as a user does and leaves it with Tab.
    static void typeInto(TfrmTabePreco *form, const QString &field, const QString &text);
    void confirm(TfrmTabePreco *form);
    QVariant stored(const QString &column, const QString &product, const QString &day = "4");
    int storedRows(const QString &product);
    // Whatever a refused post left in edit is dropped without a question.
    static void drop(TfrmTabePreco *form);
};

QString DayPricesTest::prepareItem(TfrmTabePreco *form, const QString &prices)
{
    ClientDataSet *items = form->cdsItemPreco;
    QString product;
    for (int row = 0; row < items->recordCount() && product.isEmpty(); ++row) {
        items->moveTo(row);
        if (items->fieldByName(u"NRCOMPPROD").asFloat() == 0 &&
            !items->fieldByName(u"VRPRECITEM").isNull())
            product = items->fieldByName(u"CDPRODUTO").asString();
    }
    if (product.isEmpty())
        return {};
    const QString where =
        QStringLiteral("WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND CDPRODUTO = '%1' AND "
                       "CDPRPAITABPR = '%1' AND DTINIVGPREC LIKE '%2%'")
            .arg(product, m_page.periodStart.toString(Qt::ISODate));
    const QString db = m_server.databaseFile();
    if (!test::execFixtureSql(db, QStringLiteral("DELETE FROM ITEMPRECODIA ") + where) ||
        !test::execFixtureSql(db, QStringLiteral("UPDATE ITEMPRECO SET %1 ").arg(prices) + where))
        return {};
    form->dbsItemPreco->setFocus();
    QTest::mouseClick(form->sbtVerificar, Qt::LeftButton);
    if (!items->locate(u"CDPRODUTO", product))
        return {};
    return product;
}

// As a click on the cell: a refusal of the column exit ends the move.
void DayPricesTest::select(TfrmTabePreco *form, const QString &field)
{
    runUserAction([&] {
        form->dbgPrecoHora->setSelectedIndex(form->dbgPrecoHora->columnByField(field)->index());
    });
}

void DayPricesTest::typeInto(TfrmTabePreco *form, const QString &field, const QString &text)
{
    select(form, field);
    DBGrid *grid = form->dbgPrecoHora;
    grid->setFocus();
    QTest::keyClicks(grid, text.left(1)); // opens the editor over the old text
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// Values are set as the pick lists and editors set them; a column named
// "@COLUMN" is selected and then left, so its exit step runs.
void DayPricesTest::newRow(TfrmTabePreco *form, const QVariantHash &values)
{
    form->dbgPrecoHora->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("3"));
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    QCOMPARE(form->cdsPrecoHora->state(), DataSetState::Insert);
    ClientDataSet *ds = form->cdsPrecoHora;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key().startsWith(u'@'))
            continue;
        Field &f = ds->fieldByName(it.key());
        if (it.value().isNull())
            f.clear();
        else if (f.type() == FieldType::DateTime)
            f.setAsDateTime(it.value().toDateTime());
        else if (f.type() == FieldType::Float)
            f.setAsFloat(it.value().toDouble());
        else
            f.setAsString(it.value().toString());
    }
    const QString typed = values.value(QStringLiteral("@")).toString();
    if (!typed.isEmpty()) {
        select(form, typed);
        select(form, QStringLiteral("NRDIASEMANPR"));
    }
}

void DayPricesTest::confirm(TfrmTabePreco *form)
{
    QVERIFY(form->sbtConfirmar->isEnabled());
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
}

void DayPricesTest::drop(TfrmTabePreco *form)
{
    if (form && form->cdsPrecoHora->isActive()) {
        form->cdsPrecoHora->cancel();
        form->cdsPrecoHora->cancelUpdates();
    }
}

QVariant DayPricesTest::stored(const QString &column, const QString &product, const QString &day)
{
    return test::fixtureValue(
        m_server.databaseFile(),
        QStringLiteral("SELECT %1 FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
                       "CDTABEPREC = '001' AND CDPRODUTO = :p AND NRDIASEMANPR = :d "
                       "AND DTINIVGPREC LIKE :s")
            .arg(column),
        {{QStringLiteral(":p"), product},
         {QStringLiteral(":d"), day},
         {QStringLiteral(":s"), m_page.periodStart.toString(Qt::ISODate) + QLatin1Char('%')}});
}

int DayPricesTest::storedRows(const QString &product)
{
    return test::countFixtureRows(
        m_server.databaseFile(),
        QStringLiteral("SELECT 1 FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' "
                       "AND CDPRODUTO = '%1' AND DTINIVGPREC LIKE '%2%'")
            .arg(product, m_page.periodStart.toString(Qt::ISODate)));
}

namespace {

// A row for Wednesdays from 14:00 to 16:00, the rest as given.
QVariantHash row(const QString &mode, const QString &direction, const QVariantHash &more)
{
    QVariantHash v{{"NRDIASEMANPR", "4"},
                   {"IDPERVALORPR", mode},
                   {"IDDESCACREPR", direction},
                   {"HRINIPRECDIA", "1400"},
                   {"HRFINPRECDIA", "1600"}};
    v.insert(more);
    return v;
}

const QString kBase10 = QStringLiteral(
    "VRPRECITEM = 10.0, VRPRECITEMCL = 0, VRPRECITEMDLV = NULL, VRPRECITEMCMD = NULL");

} // namespace

void DayPricesTest::computedFromTheTypedColumn_data()
{
    QTest::addColumn<QString>("prices");
    QTest::addColumn<QVariantHash>("values");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("direction");
    auto amount = [](double v) { return QVariantHash{{"VRPRECODIA", v}, {"@", "VRPRECODIA"}}; };
    auto price = [](double v) { return QVariantHash{{"PRECO", v}, {"@", "PRECO"}}; };
    QTest::newRow("10.00 less 15 %") << kBase10 << row("P", "D", amount(15)) << 8.5 << 15.0 << "D";
    QTest::newRow("10.00 plus 15 %") << kBase10 << row("P", "A", amount(15)) << 11.5 << 15.0 << "A";
    QTest::newRow("10.00 less 2") << kBase10 << row("V", "D", amount(2)) << 8.0 << 2.0 << "D";
    QTest::newRow("1.40 less 10 %") << "VRPRECITEM = 1.0, VRPRECITEMCL = 0.4"
                                    << row("P", "D", amount(10)) << 1.26 << 10.0 << "D";
    QTest::newRow("19.90 plus 10 %") << "VRPRECITEM = 19.9, VRPRECITEMCL = 0"
                                     << row("P", "A", amount(10)) << 21.89 << 10.0 << "A";
    // Typed below the base with "increase" (the default): saved as a discount.
    QTest::newRow("typed 8.55") << kBase10 << row("P", "A", price(8.55)) << 8.55 << 14.5 << "D";
    QTest::newRow("typed 0.29 on 1.00")
        << "VRPRECITEM = 1.0, VRPRECITEMCL = 0" << row("P", "", price(0.29)) << 0.29 << 71.0 << "D";
    // Without a mode or direction the row is a fixed increase.
    QTest::newRow("defaults") << kBase10 << row("", "", amount(3)) << 13.0 << 3.0 << "A";
}

void DayPricesTest::computedFromTheTypedColumn()
{
    QFETCH(QString, prices);
    QFETCH(QVariantHash, values);
    QFETCH(double, price);
    QFETCH(double, amount);
    QFETCH(QString, direction);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QString product = prepareItem(form, prices);
    QVERIFY(!product.isEmpty());
    newRow(form, values);
    ClientDataSet *ds = form->cdsPrecoHora;
    QCOMPARE(ds->fieldByName(u"PRECO").asFloat(), price);
    QCOMPARE(ds->fieldByName(u"VRPRECODIA").asFloat(), amount);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(ds->state(), DataSetState::Browse);
    QCOMPARE(stored("PRECO", product).toDouble(), price);
    QCOMPARE(stored("VRPRECODIA", product).toDouble(), amount);
    QCOMPARE(stored("IDDESCACREPR", product).toString(), direction);
}

void DayPricesTest::refusals_data()
{
    QTest::addColumn<QString>("prices");
    QTest::addColumn<QVariantHash>("values");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QVariantHash fifteen{{"VRPRECODIA", 15.0}};
    QTest::newRow("typed above the base")
        << kBase10 << row("P", "D", {{"PRECO", 10.01}, {"@", "PRECO"}})
        << "Valor do produto com desconto deve ser menor que o valor original do produto."
        << "PRECO";
    QTest::newRow("typed on a base of 0")
        << "VRPRECITEM = 0, VRPRECITEMCL = 0" << row("P", "D", {{"PRECO", 0.0}, {"@", "PRECO"}})
        << "Valor do produto com desconto deve ser menor que o valor original do produto."
        << "PRECO";
    QTest::newRow("increase to twice the base")
        << kBase10 << row("V", "A", {{"VRPRECODIA", 10.0}})
        << "O valor do acréscimo não pode ser maior ou igual ao preço do produto."
        << "VRPRECODIA";
    QTest::newRow("amount 0") << kBase10 << row("P", "D", {{"VRPRECODIA", 0.0}})
                              << "Valor deve ser maior que zero."
                              << "VRPRECODIA";
    QTest::newRow("no day") << kBase10 << row("P", "D", {{"NRDIASEMANPR", ""}})
                            << "Dia deve ser informado."
                            << "NRDIASEMANPR";
    QTest::newRow("hours reversed")
        << kBase10 << row("P", "D", {{"HRINIPRECDIA", "1900"}, {"HRFINPRECDIA", "1800"}})
        << "Hora Inicial deve ser menor que a Hora Final."
        << "HRINIPRECDIA";
    QTest::newRow("no start hour")
        << kBase10 << row("P", "D", {{"HRINIPRECDIA", ""}}) << "''  Não é hora válida."
        << "HRINIPRECDIA";
    QTest::newRow("delivery without its price")
        << kBase10 << row("P", "D", {{"VRPRECODIA", 15.0}, {"IDTPMODDLV", "S"}})
        << "Para informar preço diferenciado para o delivery, o preco de delivery do produto "
           "também deve ser informado."
        << "NRDIASEMANPR";
    QTest::newRow("start before the period")
        << kBase10
        << row("P", "D",
               {{"VRPRECODIA", 15.0}, {"DTINIVALPREC", QDateTime(QDate(2000, 1, 1), QTime(0, 0))}})
        << "Data inicial de validade deve ser maior ou igual que a data inicial de vigência."
        << "DTINIVALPREC";
    // Amounts are bounded before anything is computed from them.
    QTest::newRow("a cent past 100 %") << kBase10 << row("P", "D", {{"VRPRECODIA", 100.01}})
                                       << "Percentual deve ser menor ou igual a 100."
                                       << "VRPRECODIA";
    QTest::newRow("huge discount on a huge base")
        << "VRPRECITEM = 69466100099.11, VRPRECITEMCL = 0"
        << row("P", "D", {{"VRPRECODIA", 4898538516419438.0}})
        << "Percentual deve ser menor ou igual a 100."
        << "VRPRECODIA";
    QTest::newRow("fixed amount at the limit")
        << kBase10 << row("V", "D", {{"VRPRECODIA", 999999999999999.0}})
        << "Valor acima do limite permitido."
        << "VRPRECODIA";
    QTest::newRow("amount with a third decimal")
        << kBase10 << row("P", "D", {{"VRPRECODIA", 15.555}})
        << "Valor deve ter no máximo duas casas decimais."
        << "VRPRECODIA";
    QTest::newRow("unknown consumer type")
        << kBase10 << row("P", "D", {{"VRPRECODIA", 15.0}, {"CDTIPOCONSPD", "99"}})
        << "Tipo Consumidor não cadastrado."
        << "CDTIPOCONSPD";
}

void DayPricesTest::refusals()
{
    QFETCH(QString, prices);
    QFETCH(QVariantHash, values);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    QVERIFY(!prepareItem(form, prices).isEmpty());
    const int saves = m_proxy.callCount(QStringLiteral("SetPrecoHora"));
    m_ui->setFailOnUnexpected(false);
    newRow(form, values);
    if (focus == QLatin1String("NRDIASEMANPR") && !values.contains(QStringLiteral("@")))
        select(form, QStringLiteral("NRDIASEMANPR"));
    // A refusal of the column exit comes before any post.
    if (m_ui->errors().isEmpty())
        confirm(form);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(form->dbgPrecoHora->selectedField()->name(), focus);
    QCOMPARE(form->cdsPrecoHora->state(), DataSetState::Insert);
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetPrecoHora")), saves);
}

void DayPricesTest::passingThroughThePrice()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(
        form, QStringLiteral("VRPRECITEM = 8.45, VRPRECITEMCL = 0, VRPRECITEMDLV = NULL, "
                             "VRPRECITEMCMD = NULL"));
    QVERIFY(!product.isEmpty());
    newRow(form, {{"NRDIASEMANPR", "7"},
                  {"IDPERVALORPR", "P"},
                  {"IDDESCACREPR", "D"},
                  {"HRINIPRECDIA", "1800"},
                  {"HRFINPRECDIA", "2200"}});
    typeInto(form, QStringLiteral("VRPRECODIA"), QStringLiteral("10"));
    select(form, QStringLiteral("HRFINPRECDIA"));
    QTest::keyClick(form->dbgPrecoHora, Qt::Key_Tab);
    QCOMPARE(form->dbgPrecoHora->selectedField()->name(), QStringLiteral("PRECO"));
    QCOMPARE(form->cdsPrecoHora->fieldByName(u"PRECO").asFloat(), 7.61);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("VRPRECODIA", product, "7").toDouble(), 10.0);
    QCOMPARE(stored("PRECO", product, "7").toDouble(), 7.61);
}

void DayPricesTest::typedPriceNotReached_data()
{
    QTest::addColumn<QString>("prices");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer"); // 0: no question
    QTest::addColumn<QString>("question");
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("price");
    const QString base299 = QStringLiteral("VRPRECITEM = 299.9, VRPRECITEMCL = 0, "
                                           "VRPRECITEMDLV = NULL, VRPRECITEMCMD = NULL");
    const QString ask = QStringLiteral("O preço %1 não pode ser obtido com um valor de duas casas "
                                       "decimais. Com o valor %2 o preço gravado será %3. "
                                       "Confirma?");
    QTest::newRow("a percentage of 299,90")
        << base299 << "P"
        << "249,90" << int(MsgYes) << ask.arg("249,90", "16,68 %", "249,88") << 16.68 << 249.88;
    QTest::newRow("a third decimal typed")
        << kBase10 << "V"
        << "7,615" << int(MsgYes) << ask.arg("7,615", "2,38", "7,62") << 2.38 << 7.62;
    QTest::newRow("refused: the row stays as typed")
        << base299 << "P"
        << "249,90" << int(MsgNo) << ask.arg("249,90", "16,68 %", "249,88") << 0.0 << 249.9;
    QTest::newRow("reached exactly: nothing asked") << kBase10 << "P"
                                                    << "8,55" << 0 << QString() << 14.5 << 8.55;
}

void DayPricesTest::typedPriceNotReached()
{
    QFETCH(QString, prices);
    QFETCH(QString, mode);
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(double, amount);
    QFETCH(double, price);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, prices);
    QVERIFY(!product.isEmpty());
    ClientDataSet *ds = form->cdsPrecoHora;
    const int saves = m_proxy.callCount(QStringLiteral("SetPrecoHora"));
    newRow(form, row(mode, "D", {}));
    if (answer)
        m_ui->answerQuestion(answer, question);
    typeInto(form, QStringLiteral("PRECO"), typed);
    QCOMPARE(m_ui->pendingAnswers(), 0);
    QCOMPARE(ds->fieldByName(u"PRECO").asFloat(), price);
    if (answer == MsgNo) {
        QCOMPARE(form->dbgPrecoHora->selectedField()->name(), QStringLiteral("PRECO"));
        QCOMPARE(ds->state(), DataSetState::Insert);
        QCOMPARE(m_proxy.callCount(QStringLiteral("SetPrecoHora")), saves);
        return;
    }
    QCOMPARE(ds->fieldByName(u"VRPRECODIA").asFloat(), amount);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("PRECO", product).toDouble(), price);
    QCOMPARE(stored("VRPRECODIA", product).toDouble(), amount);

    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(ds->state(), DataSetState::Edit);
    typeInto(form, QStringLiteral("VRPRECODIA"), QStringLiteral("1"));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("VRPRECODIA", product).toDouble(), 1.0);
    m_ui->answerQuestion(MsgYes, QStringLiteral("Confirma exclusão?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(storedRows(product), 0);
}

void DayPricesTest::accepted_data()
{
    QTest::addColumn<QVariantHash>("values");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("expected"); // stored in that column
    QTest::newRow("equal hours")
        << row("P", "D", {{"VRPRECODIA", 15.0}, {"HRINIPRECDIA", "1800"}, {"HRFINPRECDIA", "1800"}})
        << "HRFINPRECDIA" << QVariant("1800");
    QTest::newRow("increase a cent below twice")
        << row("V", "A", {{"VRPRECODIA", 9.99}}) << "PRECO" << QVariant(19.99);
    QTest::newRow("blank consumer type is every type")
        << row("P", "D", {{"VRPRECODIA", 15.0}}) << "CDTIPOCONSPD" << QVariant("T");
    QTest::newRow("empty validity takes the period's")
        << row("P", "D", {{"VRPRECODIA", 15.0}}) << "substr(DTINIVALPREC, 1, 10)"
        << QVariant("<start>");
    // The start left empty takes the period's; the end typed stays.
    QTest::newRow("typed end stays")
        << row("P", "D",
               {{"VRPRECODIA", 15.0},
                {"DTFINVALPREC", QDateTime(QDate::currentDate().addDays(3), QTime(0, 0))},
                {"@", "DTINIVALPREC"}})
        << "substr(DTFINVALPREC, 1, 10)"
        << QVariant(QDate::currentDate().addDays(3).toString(Qt::ISODate));
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    QTest::newRow("equal validity dates")
        << row("P", "D", {{"VRPRECODIA", 15.0}, {"DTINIVALPREC", today}, {"DTFINVALPREC", today}})
        << "substr(DTFINVALPREC, 1, 10)" << QVariant(today.date().toString(Qt::ISODate));
    QTest::newRow("switched-off modality keeps no price")
        << row("P", "D", {{"VRPRECODIA", 15.0}, {"VRPRECODIACMD", 5.0}, {"PRECOCMD", 9.5}})
        << "coalesce(PRECOCMD, 'null') || '/' || VRPRECODIACMD" << QVariant("null/0.0");
}

void DayPricesTest::accepted()
{
    QFETCH(QVariantHash, values);
    QFETCH(QString, column);
    QFETCH(QVariant, expected);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    newRow(form, values);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsPrecoHora->state(), DataSetState::Browse);
    if (expected == QVariant("<start>"))
        expected = m_page.periodStart.toString(Qt::ISODate);
    QCOMPARE(stored(column, product).toString(), expected.toString());
    QCOMPARE(storedRows(product), 1);
}

void DayPricesTest::periodWithoutEnd()
{
    const QString db = m_server.databaseFile();
    const QString period = QStringLiteral(
        "FROM TABEVEND WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
        "DTINIVGPREC <= datetime('now', 'localtime') AND DTFINVGPREC >= date('now')");
    const QString end = test::fixtureValue(db, "SELECT DTFINVGPREC " + period).toString();
    const QString start = test::fixtureValue(db, "SELECT DTINIVGPREC " + period).toString();
    QVERIFY(!end.isEmpty());
    auto setEnd = [&](const QString &value) {
        return test::execFixtureSql(db, QStringLiteral("UPDATE TABEVEND SET DTFINVGPREC = %1 "
                                                       "WHERE CDFILIAL = '0001' AND "
                                                       "CDTABEPREC = '001' AND DTINIVGPREC = '%2'")
                                            .arg(value, start));
    };
    QVERIFY(setEnd(QStringLiteral("NULL")));
    const auto restore = qScopeGuard([&] { setEnd(u'\'' + end + u'\''); });
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    QVERIFY(form->cdsTabeVendDTFINVGPREC->isNull());
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    const QDate far = QDate::currentDate().addYears(2);
    newRow(form, row("P", "D",
                     {{"VRPRECODIA", 15.0},
                      {"DTFINVALPREC", QDateTime(far, QTime(0, 0))},
                      {"@", "DTINIVALPREC"}}));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("substr(DTFINVALPREC, 1, 10)", product).toString(), far.toString(Qt::ISODate));
}

void DayPricesTest::editingASavedRow()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    newRow(form, row("P", "D", {{"VRPRECODIA", 15.0}}));
    confirm(form);
    QCOMPARE(stored("PRECO", product).toDouble(), 8.5);
    ClientDataSet *ds = form->cdsPrecoHora;

    // Only the amount: no clash asked.
    m_proxy.clearCalls();
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(ds->state(), DataSetState::Edit);
    select(form, QStringLiteral("VRPRECODIA"));
    ds->fieldByName(u"VRPRECODIA").setAsFloat(20);
    select(form, QStringLiteral("IDDESCACREPR"));
    QCOMPARE(ds->fieldByName(u"PRECO").asFloat(), 8.0);
    // The direction changed in its own column, posted from another: the
    // price follows the amount shown.
    ds->fieldByName(u"IDDESCACREPR").setAsString(QStringLiteral("A"));
    select(form, QStringLiteral("HRINIPRECDIA"));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_proxy.calls(), QStringList{QStringLiteral("SetPrecoHora")});
    QCOMPARE(stored("PRECO", product).toDouble(), 12.0);

    // A new validity start is a new key: the server is asked.
    m_proxy.clearCalls();
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    ds->fieldByName(u"DTINIVALPREC").setAsDateTime(QDateTime(QDate::currentDate(), QTime(0, 0)));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_proxy.calls(),
             (QStringList{QStringLiteral("getVdModalidade"), QStringLiteral("SetPrecoHora")}));
    QCOMPARE(storedRows(product), 1);

    // A click on a modality cell edits the row; it is checked like any other
    // (this item has no delivery price).
    m_ui->clearRecord();
    select(form, QStringLiteral("IDTPMODDLV"));
    form->alteraCheckModalidade();
    QCOMPARE(ds->state(), DataSetState::Edit);
    QCOMPARE(ds->fieldByName(u"IDTPMODDLV").asString(), QStringLiteral("S"));
    confirm(form);
    QCOMPARE(m_ui->errors(),
             QStringList{QStringLiteral("Para informar preço diferenciado para o delivery, o preco "
                                        "de delivery do produto também deve ser informado.")});
    QCOMPARE(stored("IDTPMODDLV", product).toString(), QStringLiteral("N"));
}

void DayPricesTest::sameKeyFromAnotherClient()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    // Saved by another client after this screen read its rows.
    const QString start = m_page.periodStart.toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
    QVERIFY(test::execFixtureSql(
        m_server.databaseFile(),
        QStringLiteral(
            "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
            "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
            "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, PRECO, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) "
            "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, '%1', '%1', 'T', '4', '1400', '1600', "
            "DTINIVGPREC, DTFINVGPREC, 'P', 'D', 10, 9, 'S', 'N', 'N' FROM TABEVEND WHERE "
            "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = '%2'")
            .arg(product, start)));
    m_ui->setFailOnUnexpected(false);
    newRow(form, row("P", "D", {{"VRPRECODIA", 15.0}}));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList{kClash});
    QCOMPARE(storedRows(product), 1);
    QCOMPARE(stored("VRPRECODIA", product).toDouble(), 10.0);
}

void DayPricesTest::itemPriceChangeFollows()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    newRow(form, row("P", "D", {{"VRPRECODIA", 15.0}}));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());

    form->dbsItemPreco->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    form->cdsItemPreco->fieldByName(u"VRPRECITEM").setAsFloat(20);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("PRECO", product).toDouble(), 17.0);
    ClientDataSet *ds = form->cdsPrecoHora;
    QCOMPARE(ds->fieldByName(u"PRECO").asFloat(), 17.0);
    QCOMPARE(ds->changeCount(), 0);

    // The row shown holds what the server holds: its next save goes through.
    form->dbgPrecoHora->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("3"));
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    ds->fieldByName(u"IDVISUACUPOM").setAsString(QStringLiteral("S"));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("IDVISUACUPOM", product).toString(), QStringLiteral("S"));
}

void DayPricesTest::consumerTypeSearch_data()
{
    QTest::addColumn<bool>("linked");
    QTest::newRow("the branch's types") << true;
    QTest::newRow("none linked: every type") << false;
}

void DayPricesTest::consumerTypeSearch()
{
    QFETCH(bool, linked);
    const QString db = m_server.databaseFile();
    const QString links = QStringLiteral("TIPOCONSFILI WHERE CDFILIAL = '0001'");
    if (!linked) {
        QVERIFY(test::execFixtureSql(db, "CREATE TABLE KEPT_LINKS AS SELECT * FROM " + links));
        QVERIFY(test::execFixtureSql(db, "DELETE FROM " + links));
    }
    const auto restore = qScopeGuard([&] {
        if (!linked) {
            test::execFixtureSql(db, "INSERT INTO TIPOCONSFILI SELECT * FROM KEPT_LINKS");
            test::execFixtureSql(db, "DROP TABLE KEPT_LINKS");
        }
    });
    const QString offered = linked ? "SELECT T.CDTIPOCONS, T.NMTIPOCONS FROM TIPOCONS T JOIN " +
                                         links.section(u' ', 0, 0) +
                                         " F ON F.CDTIPOCONS = T.CDTIPOCONS WHERE "
                                         "F.CDFILIAL = '0001' ORDER BY 1 DESC"
                                   : QStringLiteral("SELECT CDTIPOCONS, NMTIPOCONS FROM "
                                                    "TIPOCONS ORDER BY 1 DESC");
    const int count = test::countFixtureRows(db, offered);
    QVERIFY(count > 0);
    const QString last = test::fixtureValue(db, offered).toString();

    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const auto cleanup = qScopeGuard([form] { drop(form); });
    const QString product = prepareItem(form, kBase10);
    QVERIFY(!product.isEmpty());
    newRow(form, row("P", "D", {{"VRPRECODIA", 15.0}}));
    m_ui->chooseRowAt(count - 1);
    form->dbgPrecoHoraEditButtonClick();
    QCOMPARE(m_ui->searchTitles(),
             QStringList{QStringLiteral("Tipo Consumidor|Tipo Consumidor não cadastrado.")});
    DataSource *source = linked ? form->dtsTipoConsFili : form->dtsTipoCons;
    QCOMPARE(source->dataSet()->recordCount(), count);
    QCOMPARE(form->cdsPrecoHora->fieldByName(u"CDTIPOCONSPD").asString(), last);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(stored("CDTIPOCONSPD", product).toString(), last);
}

void DayPricesTest::bulkPriceUpdate()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    const QString product =
        prepareItem(form, QStringLiteral("VRPRECITEM = 10.0, VRPRECITEMCL = 0, "
                                         "VRPRECITEMDLV = NULL, VRCUSTITEM = 12.341"));
    QVERIFY(!product.isEmpty());
    newRow(form, row("P", "D", {{"VRPRECODIA", 15.0}}));
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    form->dbsItemPreco->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));
    const QString question = QStringLiteral(
        "Esta operação irá atualizar o preço consumidor com o valor do preço calculado caso este "
        "seja maior. Confirma operação?");

    m_proxy.clearCalls();
    m_ui->answerQuestion(MsgNo, question);
    QVERIFY(form->mnuAtualizaPreco->isEnabled());
    form->mnuAtualizaPreco->trigger();
    QCOMPARE(m_proxy.calls(), QStringList());

    m_ui->clearRecord();
    m_ui->answerQuestion(MsgYes, question);
    form->mnuAtualizaPreco->trigger();
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_proxy.calls().first(), QStringLiteral("SetItemPrecoAtuPrec"));
    QCOMPARE(m_ui->texts().count(QStringLiteral("Atualização dos preços realizada com sucesso.")),
             1);
    QCOMPARE(m_page.stored("VRPRECITEM", product).toDouble(), 12.35);
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", product));
    QCOMPARE(form->cdsItemPreco->fieldByName(u"VRPRECITEM").asFloat(), 12.35);
    // 12.35 less 15 %: the differentiated price followed, on the server and
    // on the screen.
    QCOMPARE(stored("PRECO", product).toDouble(), 10.5);
    QCOMPARE(form->cdsPrecoHora->fieldByName(u"PRECO").asFloat(), 10.5);

    form->dbgPrecoHora->setFocus();
    QString saved;
    QVERIFY(test::grabScreenshot(form, QStringLiteral("dayprices.png"), &saved));
    qInfo("screenshot: %s", qPrintable(saved));
}

QTEST_MAIN(DayPricesTest)
#include "tst_dayprices.moc"
