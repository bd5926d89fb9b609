#include "GridData.h"
#include "ScriptedHostUi.h"

#include "dataset/Abort.h"
#include "dataset/DataSource.h"
#include "widgets/DBNavigator.h"
#include "widgets/DBText.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TNumberEdit.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace prx;
using namespace prx::test;

class TestSmallWidgets : public QObject
{
    Q_OBJECT

private slots:
    void flatButtonNeverTakesTheFocus();
    void buttonFollowsItsTwin();
    void maskEditStoresWhatTheMaskKeeps_data();
    void maskEditStoresWhatTheMaskKeeps();
    // Keys lost past the end of an empty mask, a value typed over a full one
    // dropped, or a selection not replaced by what is typed.
    void maskEditTypesWhereTheUserExpects_data();
    void maskEditTypesWhereTheUserExpects();
    // A date (and time) typed in one go taken in part, or turned into
    // another moment without a word.
    void dateEditTakesAWholeValue_data();
    void dateEditTakesAWholeValue();
    void numberEditTakesTheDecimalComma_data();
    void numberEditTakesTheDecimalComma();
    void dateEditMayBeEmptyAndRefusesBadDates();
    void dbTextFollowsTheCurrentRow();
    void navigatorMovesAndKnowsTheEnds();
    void searchButtonRunsItsSteps();
};

// A toolbar click that takes the focus from the grid the command acts on.
void TestSmallWidgets::flatButtonNeverTakesTheFocus()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *button = new TButtonFlat(QStringLiteral("Incluir"), QStringLiteral("Incluir registro"),
                                   QIcon(), &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(button);
    QVERIFY(showAndActivate(&window));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    int clicks = 0;
    connect(button, &QToolButton::clicked, &window, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QVERIFY(edit->hasFocus());
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
}

// A button left enabled while its menu entry says the command is not allowed.
void TestSmallWidgets::buttonFollowsItsTwin()
{
    TButtonFlat button;
    QAction twin;
    twin.setEnabled(false);
    FollowTwin(&button, &twin);
    QVERIFY(!button.isEnabled());
    twin.setEnabled(true);
    QVERIFY(!button.isEnabled()); // only when told to follow
    FollowTwin(&button, &twin);
    QVERIFY(button.isEnabled());
}

void TestSmallWidgets::maskEditStoresWhatTheMaskKeeps_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");
    QTest::newRow("hour without literals") << QStringLiteral("99:99;0; ") << QStringLiteral("1730")
                                           << QStringLiteral("17:30") << QStringLiteral("1730");
    QTest::newRow("hour with literals") << QStringLiteral("!99:99;1; ") << QStringLiteral("0815")
                                        << QStringLiteral("08:15") << QStringLiteral("08:15");
    QTest::newRow("upper-case code") << QStringLiteral(">aaaa;0; ") << QStringLiteral("ab1")
                                     << QStringLiteral("AB1 ") << QStringLiteral("AB1");
    QTest::newRow("product tree code")
        << QStringLiteral("99.99.9999;0;_") << QStringLiteral("01020003")
        << QStringLiteral("01.02.0003") << QStringLiteral("01020003");
    QTest::newRow("nothing typed")
        << QStringLiteral("99:99;0; ") << QString() << QStringLiteral("  :  ") << QString();
}

// A masked edit that stores its literals where the mask says not to, or
// keeps blanks.
void TestSmallWidgets::maskEditStoresWhatTheMaskKeeps()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    MaskEdit edit;
    edit.setEditMask(mask);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.shownText(), shown);
    QCOMPARE(edit.text(), stored);
    QCOMPARE(edit.isEmpty(), stored.isEmpty());
    MaskEdit copy;
    copy.setEditMask(mask);
    copy.setText(stored);
    QCOMPARE(copy.text(), stored);
}

namespace {

// How the user comes to the edit before typing.
enum class Entry
{
    Tab,         // Tab from the field before
    ByCode,      // the program gives it the focus (a dialog opening, a refused check)
    ClickMiddle, // a click in the middle of the field
    ClickRight,  // a click near its right end
    SelectHead,  // Home, then Shift+Right twice
};

void enter(QLineEdit *edit, QWidget *before, Entry entry)
{
    before->setFocus();
    QTRY_VERIFY(before->hasFocus());
    switch (entry) {
    case Entry::Tab:
        QTest::keyClick(before, Qt::Key_Tab);
        break;
    case Entry::ByCode:
        edit->setFocus(Qt::OtherFocusReason);
        break;
    case Entry::ClickMiddle:
    case Entry::ClickRight: {
        const int x = entry == Entry::ClickMiddle ? edit->width() / 2 : edit->width() - 6;
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, edit->height() / 2));
        break;
    }
    case Entry::SelectHead:
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
        break;
    }
    QTRY_VERIFY(edit->hasFocus());
}

} // namespace

void TestSmallWidgets::maskEditTypesWhereTheUserExpects_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("before");
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    const QString branch = QStringLiteral(">aaaa;0; ");
    const QString hour = QStringLiteral("99:99;0; ");
    const QString product = QStringLiteral("99.99.9999;0;_");
    QTest::newRow("empty branch, click in the middle")
        << branch << QString() << Entry::ClickMiddle << "0001"
        << "0001";
    QTest::newRow("empty branch, click at the right")
        << branch << QString() << Entry::ClickRight << "0001"
        << "0001";
    QTest::newRow("empty branch, focus by code") << branch << QString() << Entry::ByCode << "0001"
                                                 << "0001";
    QTest::newRow("hour half typed, click at the right")
        << hour << "17" << Entry::ClickRight << "30"
        << "1730";
    QTest::newRow("full product code, Tab in") << product << "01020003" << Entry::Tab << "02030004"
                                               << "02030004";
    QTest::newRow("full hour, focus by code") << hour << "1730" << Entry::ByCode << "0815"
                                              << "0815";
    QTest::newRow("full hour, the hours selected") << hour << "1730" << Entry::SelectHead << "08"
                                                   << "0830";
}

void TestSmallWidgets::maskEditTypesWhereTheUserExpects()
{
    QFETCH(QString, mask);
    QFETCH(QString, before);
    QFETCH(Entry, entry);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QWidget window;
    auto *previous = new QLineEdit(&window);
    auto *edit = new MaskEdit(&window);
    edit->setMinimumWidth(160); // wider than its text, as on the screens
    edit->setEditMask(mask);
    edit->setText(before);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(previous);
    layout->addWidget(edit);
    QVERIFY(showAndActivate(&window));
    enter(edit, previous, entry);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), stored);
}

void TestSmallWidgets::dateEditTakesAWholeValue_data()
{
    QTest::addColumn<bool>("withTime");
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDateTime>("taken"); // invalid: refused with the text shown
    QTest::newRow("empty date opened by the dialog")
        << false << Entry::ByCode << "07112026" << QDateTime(QDate(2026, 11, 7), QTime(0, 0));
    QTest::newRow("empty date, click at the right")
        << false << Entry::ClickRight << "07112026" << QDateTime(QDate(2026, 11, 7), QTime(0, 0));
    QTest::newRow("moment with its literals") << true << Entry::ByCode << "09/01/2027 19:00"
                                              << QDateTime(QDate(2027, 1, 9), QTime(19, 0));
    QTest::newRow("moment, digits only")
        << true << Entry::Tab << "310120261015" << QDateTime(QDate(2026, 1, 31), QTime(10, 15));
    QTest::newRow("day past the shown month's end")
        << true << Entry::ByCode << "31/10/2026 10:30"
        << QDateTime(QDate(2026, 10, 31), QTime(10, 30));
    QTest::newRow("29 February of a leap year") << true << Entry::ByCode << "29/02/2028 08:00"
                                                << QDateTime(QDate(2028, 2, 29), QTime(8, 0));
    QTest::newRow("impossible day") << true << Entry::ByCode << "31/02/2026 10:00" << QDateTime();
    QTest::newRow("hour half typed") << true << Entry::ByCode << "09/01/2027 1" << QDateTime();
}

void TestSmallWidgets::dateEditTakesAWholeValue()
{
    QFETCH(bool, withTime);
    QFETCH(Entry, entry);
    QFETCH(QString, typed);
    QFETCH(QDateTime, taken);
    ScriptedHostUi ui;
    QWidget window;
    auto *previous = new QLineEdit(&window);
    auto *date = new TDateEditPlus(&window);
    date->setTimeShown(withTime);
    if (withTime)
        date->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(previous);
    layout->addWidget(date);
    QVERIFY(showAndActivate(&window));
    enter(date->lineEdit(), previous, entry);
    QTest::keyClicks(date->lineEdit(), typed);
    if (taken.isValid()) {
        QCOMPARE(date->dateTime(), taken);
        date->CheckValidDate(true);
        QVERIFY(ui.errors().isEmpty());
        return;
    }
    QVERIFY(!date->dateTime().isValid());
    QVERIFY_THROWS_EXCEPTION(Abort, date->CheckValidDate(true));
    QCOMPARE(ui.errors(),
             QStringList{QStringLiteral("'%1' não é uma data válida.").arg(date->text())});
    date->clear();
    QVERIFY_THROWS_EXCEPTION(Abort, date->CheckValidDate(true));
    QCOMPARE(ui.errors().last(), QStringLiteral("Informe a data e a hora."));
}

void TestSmallWidgets::numberEditTakesTheDecimalComma_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("comma") << QStringLiteral("1234,5") << 1234.5 << QStringLiteral("1.234,50");
    QTest::newRow("point typed as comma")
        << QStringLiteral("12.3") << 12.3 << QStringLiteral("12,30");
    QTest::newRow("negative") << QStringLiteral("-0,25") << -0.25 << QStringLiteral("-0,25");
    QTest::newRow("letters refused") << QStringLiteral("7a1") << 71.0 << QStringLiteral("71,00");
}

// A price read a thousand times off, or letters in a number.
void TestSmallWidgets::numberEditTakesTheDecimalComma()
{
    QFETCH(QString, typed);
    QFETCH(double, value);
    QFETCH(QString, shown);
    QWidget window;
    auto *number = new TNumberEdit(&window);
    auto *other = new QLineEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(number);
    layout->addWidget(other);
    QVERIFY(showAndActivate(&window));
    number->setFocus();
    QTest::keyClicks(number, typed);
    QCOMPARE(number->value(), value);
    other->setFocus();
    QCOMPARE(number->text(), shown);
    QCOMPARE(number->GetNumber(), value); // the shown form reads back the same
    number->setFocus();
    QCOMPARE(number->value(), value);
}

// A date edit that cannot be left empty, or takes 31/02 for a date.
void TestSmallWidgets::dateEditMayBeEmptyAndRefusesBadDates()
{
    ScriptedHostUi ui;
    TDateEditPlus date;
    date.show();
    QVERIFY(date.isEmpty());
    QVERIFY(date.date().isNull());
    date.CheckValidDate(); // empty passes
    QList<QDate> changes;
    connect(&date, &TDateEditPlus::dateChanged, &date, [&](const QDate &d) { changes.append(d); });
    date.lineEdit()->setCursorPosition(0);
    QTest::keyClicks(date.lineEdit(), QStringLiteral("01022026"));
    QCOMPARE(date.date(), QDate(2026, 2, 1));
    QCOMPARE(changes.last(), QDate(2026, 2, 1));
    date.clear();
    QVERIFY(date.isEmpty());
    QVERIFY(changes.last().isNull());
    date.lineEdit()->setCursorPosition(0);
    QTest::keyClicks(date.lineEdit(), QStringLiteral("31022026"));
    QVERIFY(date.date().isNull());
    QVERIFY_THROWS_EXCEPTION(Abort, date.CheckValidDate());
    QCOMPARE(ui.errors(), QStringList{QStringLiteral("'31/02/2026' não é uma data válida.")});
    date.setDate(QDate(2026, 12, 7));
    QCOMPARE(date.text(), QStringLiteral("07/12/2026"));
}

// A status-bar text that shows a row the user has left.
void TestSmallWidgets::dbTextFollowsTheCurrentRow()
{
    auto ds = makeItems(5);
    DataSource source(ds.get());
    DBText text;
    text.setDataSource(&source);
    text.setDataField(QStringLiteral("NOME"));
    QCOMPARE(text.text(), itemName(0));
    ds->moveTo(3);
    QCOMPARE(text.text(), itemName(3));
    ds->edit();
    ds->fieldByName(u"NOME").setAsString(QStringLiteral("Pão de Queijo"));
    QCOMPARE(text.text(), QStringLiteral("Pão de Queijo"));
    ds->cancel();
    QCOMPARE(text.text(), itemName(3));
    text.setDataField(QStringLiteral("PRECO"));
    QCOMPARE(text.text(), QStringLiteral("6,00"));
    ds->close();
    QCOMPARE(text.text(), QString());
}

// Navigator buttons that stay enabled at the ends, or a failed post that
// still counts as a move.
void TestSmallWidgets::navigatorMovesAndKnowsTheEnds()
{
    ScriptedHostUi ui;
    auto ds = makeItems(4);
    DataSource source(ds.get());
    DBNavigator nav;
    nav.setDataSource(&source);
    QList<DBNavigator::Button> clicked;
    nav.onClick = [&](DBNavigator &, DBNavigator::Button b) { clicked.append(b); };
    auto enabled = [&] {
        QList<bool> out;
        for (auto b : {DBNavigator::Button::First, DBNavigator::Button::Prior,
                       DBNavigator::Button::Next, DBNavigator::Button::Last})
            out.append(nav.button(b)->isEnabled());
        return out;
    };
    QCOMPARE(enabled(), (QList<bool>{false, false, true, true}));
    nav.button(DBNavigator::Button::Next)->click();
    QCOMPARE(ds->currentRow(), 1);
    QCOMPARE(enabled(), (QList<bool>{true, true, true, true}));
    nav.button(DBNavigator::Button::Last)->click();
    QCOMPARE(ds->currentRow(), 3);
    QCOMPARE(enabled(), (QList<bool>{true, true, false, false}));
    QCOMPARE(clicked,
             (QList<DBNavigator::Button>{DBNavigator::Button::Next, DBNavigator::Button::Last}));
    ds->beforePost = [](ClientDataSet &) { throw Abort(); };
    ds->edit();
    nav.button(DBNavigator::Button::First)->click();
    QCOMPARE(ds->currentRow(), 3);
    QCOMPARE(clicked.size(), 2);
}

// A search that runs although its preparation refused, or copies a row the
// user did not choose.
void TestSmallWidgets::searchButtonRunsItsSteps()
{
    ScriptedHostUi ui;
    auto ds = makeItems(6);
    DataSource source(ds.get());
    TBtnPesquisa button;
    QCOMPARE(button.toolTip(), QStringLiteral("Pesquisar"));
    button.setDataSource(&source);
    button.setTitle(QStringLiteral("Produto|Não há produto cadastrado."));
    QString copied;
    bool refuse = true;
    button.BeforePesq = [&](TBtnPesquisa &) {
        if (refuse)
            throw Abort();
    };
    button.AfterPesq = [&](TBtnPesquisa &b) {
        copied = b.dataSource()->dataSet()->fieldByName(u"NOME").asString();
    };
    button.click();
    QVERIFY(ui.searchTitles().isEmpty());
    refuse = false;
    ui.cancelSearch();
    button.click();
    QCOMPARE(ui.searchTitles(), QStringList{QStringLiteral("Produto|Não há produto cadastrado.")});
    QVERIFY(copied.isEmpty());
    ui.chooseRowAt(4);
    button.click();
    QCOMPARE(copied, itemName(4));
}

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
