#include "GuiHelpers.h"
#include "ItemsPageTest.h"
#include "ScreenSteps.h"

#include "inforce/TfrmPrecoVigente.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/UserAction.h"
#include "transfer/Cli_prx51702.h"
#include "widgets/MaskEdit.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"
#include "widgets/TDateEditPlus.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

namespace {

// Keys go where the user's would: to the control in focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
}

void type(const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(),
                            Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

QString shot(QWidget *widget, const QString &name)
{
    QString path;
    test::grabScreenshot(widget, name, &path);
    return path;
}

} // namespace

// Typing on the price table screen and its dialogs through real keys and
// clicks: what is typed is what is taken.
class KeyboardEntryTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // A branch code typed after a click in an emptied field, wherever the
    // click lands, is the code typed.
    void branchTypedAfterAClick_data();
    void branchTypedAfterAClick();
    // The import dialog opens ready to take the origin date as typed.
    void importTakesTheDateAtOnce();
    // The moment asked is the whole moment typed, never the day and hour
    // over the month and year shown.
    void priceInForceTakesTheWholeMoment_data();
    void priceInForceTakesTheWholeMoment();
    // Sorting by a title keeps the product chosen, in view.
    void titleClickKeepsTheProduct();
    // The day, percentage and discount columns of a differentiated price
    // open on Enter, F4 and Alt+Down and take a letter as a choice.
    void pickListsByKeyboard();
};

void KeyboardEntryTest::branchTypedAfterAClick_data()
{
    QTest::addColumn<double>("at"); // where the click lands, as a share of the width
    QTest::newRow("middle") << 0.5;
    QTest::newRow("right half") << 0.9;
}

void KeyboardEntryTest::branchTypedAfterAClick()
{
    QFETCH(double, at);
    TfrmTabePreco *form = test::openPriceTableScreen();
    QVERIFY(form);
    MaskEdit *branch = form->medCdFilial;
    const QPoint start(3, branch->height() / 2);
    QTest::mouseClick(branch, Qt::LeftButton, {}, start);
    QTRY_VERIFY(branch->hasFocus());
    press(Qt::Key_Home);
    press(Qt::Key_End, Qt::ShiftModifier);
    press(Qt::Key_Delete);
    QCOMPARE(branch->text(), QString());
    QTest::mouseClick(branch, Qt::LeftButton, {},
                      QPoint(int(branch->width() * at), branch->height() / 2));
    type(QStringLiteral("0001"));
    QCOMPARE(branch->text(), QStringLiteral("0001"));
    press(Qt::Key_Tab);
    QVERIFY2(m_ui->errors().isEmpty(), qPrintable(m_ui->errors().join(u'|')));
    QTRY_VERIFY(form->cdsTabePrec->isActive() && !form->cdsTabePrec->isEmpty());
}

void KeyboardEntryTest::importTakesTheDateAtOnce()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    // The table's first period: an origin the dialog accepts.
    const QDate origin =
        form->cdsTabeVend->valueAt(0, form->cdsTabeVendDTINIVGPREC->index()).toDateTime().date();
    QDate taken;
    bool focused = false;
    QString picture;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmImportaVigencia *>(window);
        if (!dialog)
            return;
        QTest::qWait(50);
        focused = QApplication::focusWidget() == dialog->depDtIniOrig->lineEdit();
        type(origin.toString(QStringLiteral("ddMMyyyy")));
        taken = dialog->depDtIniOrig->date();
        picture = shot(dialog, QStringLiteral("importar_vigencia.png"));
        dialog->close();
    });
    runUserAction([] { Cli_prx51702::CriaImportaVigencia(); });
    QVERIFY(focused);
    QCOMPARE(taken, origin);
    QVERIFY2(m_ui->errors().isEmpty(), qPrintable(m_ui->errors().join(u'|')));
    qInfo("screenshot: %s", qPrintable(picture));
}

void KeyboardEntryTest::priceInForceTakesTheWholeMoment_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDateTime>("asked");
    QTest::newRow("with its literals")
        << "09/01/2027 19:00" << QDateTime(QDate(2027, 1, 9), QTime(19, 0));
    QTest::newRow("a 31st") << "31/10/2026 08:00" << QDateTime(QDate(2026, 10, 31), QTime(8, 0));
    QTest::newRow("digits only") << "290220281130" << QDateTime(QDate(2028, 2, 29), QTime(11, 30));
}

void KeyboardEntryTest::priceInForceTakesTheWholeMoment()
{
    QFETCH(QString, typed);
    QFETCH(QDateTime, asked);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    bool opened = false;
    QString picture;
    test::onNextModal([&](QWidget *window) {
        auto *dialog = qobject_cast<TfrmPrecoVigente *>(window);
        if (!dialog)
            return;
        opened = true;
        QLineEdit *moment = dialog->dtpMomento->lineEdit();
        QTest::mouseClick(moment, Qt::LeftButton, {}, QPoint(3, moment->height() / 2));
        QTRY_VERIFY(moment->hasFocus());
        type(typed);
        QTest::mouseClick(dialog->btnConsultar, Qt::LeftButton);
        picture = shot(dialog, QStringLiteral("preco_vigente_digitado.png"));
        QTest::mouseClick(dialog->btnFechar, Qt::LeftButton);
    });
    form->findChild<QAction *>(QStringLiteral("mnuPrecoVigente"))->trigger();
    QTRY_VERIFY(opened);
    QVERIFY2(m_ui->errors().isEmpty(), qPrintable(m_ui->errors().join(u'|')));
    const QDateTime sent =
        m_proxy.lastArgs(QStringLiteral("GetPrecoVigente")).value(3).toDateTime();
    QCOMPARE(sent.date(), asked.date());
    QCOMPARE(sent.time(), asked.time());
    qInfo("screenshot: %s", qPrintable(picture));
}

void KeyboardEntryTest::titleClickKeepsTheProduct()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    TDBSortGrid *grid = form->dbsItemPreco;
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(grid, Qt::Key_Down);
    ClientDataSet *items = form->cdsItemPreco;
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    QCOMPARE(items->currentRow(), 4);
    const int reads = m_proxy.callCount(QStringLiteral("GetPrecoHora"));
    // The title is clicked where it shows: among the columns that stay in
    // view when the grid scrolls, or beside them.
    const int price = grid->columnByField(u"VRPRECITEM")->index();
    QHeaderView *titles = price < grid->frozenColumns()
                              ? grid->findChild<QTableView *>()->horizontalHeader()
                              : grid->horizontalHeader();
    for (int click = 0; click < 2; ++click) {
        const int x = titles->sectionViewportPosition(price) + titles->sectionSize(price) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
        QCOMPARE(items->sortField(), items->fieldByName(u"VRPRECITEM").index());
        QCOMPARE(items->fieldByName(u"CDPRODUTO").asString(), product);
        QCOMPARE(grid->currentIndex().row(), items->currentRow());
        const QRect row = grid->visualRect(grid->currentIndex());
        QVERIFY(grid->viewport()->rect().contains(row.center()));
    }
    QCOMPARE(m_proxy.callCount(QStringLiteral("GetPrecoHora")), reads);
    QVERIFY(m_ui->errors().isEmpty());
}

void KeyboardEntryTest::pickListsByKeyboard()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    form->pgcPrecoCliCon->setCurrentWidget(form->tshPrecoHora);
    DBGrid *grid = form->dbgPrecoHora;
    grid->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("3"));
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    ClientDataSet *ds = form->cdsPrecoHora;
    QCOMPARE(ds->state(), DataSetState::Insert);
    auto column = [&](const char16_t *field) {
        runUserAction([&] { grid->setSelectedIndex(grid->columnByField(field)->index()); });
        QCOMPARE(grid->selectedField()->name(), QString::fromUtf16(field));
    };
    auto editorText = [&] {
        auto *combo = qobject_cast<QComboBox *>(grid->editor());
        return combo ? combo->currentText() : QString();
    };

    // Each key that opens the list, on the cell and in its open editor.
    QString picture;
    column(u"IDPERVALORPR");
    for (const auto &[key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_F4, Qt::NoModifier},
          std::pair{Qt::Key_Down, Qt::AltModifier}}) {
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        press(key, modifiers);
        auto *combo = qobject_cast<QComboBox *>(grid->editor());
        QVERIFY(combo);
        QTRY_VERIFY(combo->view()->isVisible());
        if (picture.isEmpty())
            picture = shot(form, QStringLiteral("lista_percentual_valor.png"));
        QTest::keyClick(combo->view(), Qt::Key_Escape);
        QTRY_VERIFY(!combo->view()->isVisible());
        if (key == Qt::Key_F4) { // again, from inside the editor
            press(key, modifiers);
            QTRY_VERIFY(combo->view()->isVisible());
            QTest::keyClick(combo->view(), Qt::Key_Escape);
            QTRY_VERIFY(!combo->view()->isVisible());
        }
        grid->hideEditor();
    }

    // Letters choose: S walks through the days that start with S.
    column(u"NRDIASEMANPR");
    grid->setFocus();
    type(QStringLiteral("S"));
    const QString first = editorText();
    type(QStringLiteral("S"));
    const QString second = editorText();
    QVERIFY2(first.startsWith(u'S') && second.startsWith(u'S') && first != second,
             qPrintable(first + u'|' + second));
    type(QStringLiteral("d"));
    QCOMPARE(editorText(), QStringLiteral("Domingo"));
    press(Qt::Key_Tab);
    QCOMPARE(ds->fieldByName(u"NRDIASEMANPR").asString(), QStringLiteral("1"));

    for (const auto &[field, letter, code] :
         {std::tuple{u"IDPERVALORPR", "v", "V"}, std::tuple{u"IDDESCACREPR", "a", "A"}}) {
        column(field);
        grid->setFocus();
        type(QString::fromLatin1(letter));
        press(Qt::Key_Return);
        QCOMPARE(ds->fieldByName(field).asString(), QString::fromLatin1(code));
    }
    QVERIFY2(m_ui->errors().isEmpty(), qPrintable(m_ui->errors().join(u'|')));
    ds->cancel();
    qInfo("screenshot: %s", qPrintable(picture));
}

QTEST_MAIN(KeyboardEntryTest)
#include "tst_keyboardentry.moc"
