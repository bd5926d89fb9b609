#include "GridData.h"
#include "GuiHelpers.h"
#include "ScriptedHostUi.h"

#include "dataset/DataSource.h"
#include "services/EditMask.h"
#include "widgets/FindWindow.h"
#include "widgets/SearchList.h"
#include "widgets/SearchModel.h"
#include "widgets/SearchWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {
// Types any text, accented letters included, as key presses.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
// Runs the action on the search window about to open. A window the action
// leaves open (a failed check returns early) is closed, so the test ends.
void whenOpen(const std::function<void(SearchWindow *)> &action)
{
    onNextModal([action](QWidget *modal) {
        auto *window = qobject_cast<SearchWindow *>(modal);
        QVERIFY(window);
        action(window);
        if (QApplication::activeModalWidget() == modal)
            window->reject();
    });
}
} // namespace

class TestSearchWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void typingFiltersOverEveryColumn_data();
    void typingFiltersOverEveryColumn();
    void enterChoosesTheRowUnderTheCursor();
    void escapeChoosesNothing();
    void emptyDataSetShowsTheMessageAfterTheBar();
    void listWritesEachKeyPadded();
    void listStartsWithTheKeysAlreadyChosen();
    void listTextRoundTrip_data();
    void listTextRoundTrip();
    void validExChecksEveryKey();
    void findWindowMovesToTheFirstMatch();

private:
    std::unique_ptr<ClientDataSet> m_ds;
    std::unique_ptr<DataSource> m_source;
    std::unique_ptr<ScriptedHostUi> m_ui;
};

void TestSearchWindow::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    m_ds = makeItems(12);
    m_source = std::make_unique<DataSource>(m_ds.get());
}

void TestSearchWindow::cleanup()
{
    m_source.reset();
    m_ds.reset();
    m_ui.reset();
}

void TestSearchWindow::typingFiltersOverEveryColumn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("name, other case") << QStringLiteral("CAFÉ");
    QTest::newRow("part of a name") << QStringLiteral("ast");
    QTest::newRow("code") << QStringLiteral("0011");
    QTest::newRow("price as shown") << QStringLiteral("4,50");
    QTest::newRow("word of a get-text step") << QStringLiteral("não");
    QTest::newRow("nothing matches") << QStringLiteral("zzz");
}

// A filter that misses rows, looks at one column only, or minds letter case.
void TestSearchWindow::typingFiltersOverEveryColumn()
{
    QFETCH(QString, typed);
    SearchWindow window(*m_ds, QStringLiteral("Produtos"), SearchWindow::Mode::Single);
    window.show();
    typeText(window.filterEdit(), typed);
    QList<int> expected;
    for (int r = 0; r < m_ds->recordCount(); ++r) {
        for (int f = 0; f < m_ds->fieldCount(); ++f) {
            QString text = m_ds->displayTextAt(r, f);
            if (f == 3)
                text = EditMask(m_ds->field(f).editMask()).format(text);
            if (text.contains(typed, Qt::CaseInsensitive)) {
                expected.append(r);
                break;
            }
        }
    }
    QList<int> shown;
    for (int r = 0; r < window.shownRowCount(); ++r)
        shown.append(window.model()->datasetRow(r));
    QCOMPARE(shown, expected);
    // Taking letters back widens the list again.
    window.filterEdit()->clear();
    QCOMPARE(window.shownRowCount(), m_ds->recordCount());
}

// The chosen row not becoming the current one.
void TestSearchWindow::enterChoosesTheRowUnderTheCursor()
{
    bool chosen = false;
    whenOpen([](SearchWindow *window) {
        QCOMPARE(window->windowTitle(), QStringLiteral("Produtos"));
        QTest::keyClicks(window->filterEdit(), QStringLiteral("suco"));
        QCOMPARE(window->shownRowCount(), 1);
        QTest::keyClick(window->filterEdit(), Qt::Key_Return);
    });
    chosen = SearchWindow::pesquisar(*m_source, QStringLiteral("Produtos|Nenhum produto."));
    QVERIFY(chosen);
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), QStringLiteral("Suco de Laranja"));

    // The cursor keys walk the list while the filter has the focus; a double
    // click chooses too.
    m_ds->first();
    whenOpen([](SearchWindow *window) {
        QTest::keyClick(window->filterEdit(), Qt::Key_Down);
        QTest::keyClick(window->filterEdit(), Qt::Key_Down);
        const QRect cell = window->view()->visualRect(window->view()->currentIndex());
        QTest::mouseClick(window->view()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(window->view()->viewport(), Qt::LeftButton, {}, cell.center());
    });
    QVERIFY(SearchWindow::pesquisar(*m_source, QStringLiteral("Produtos")));
    QCOMPARE(m_ds->currentRow(), 2);
}

// A cancelled search that still moves the dataset.
void TestSearchWindow::escapeChoosesNothing()
{
    m_ds->moveTo(4);
    whenOpen([](SearchWindow *window) {
        QTest::keyClick(window->filterEdit(), Qt::Key_Down);
        QTest::keyClick(window->filterEdit(), Qt::Key_Escape);
    });
    QVERIFY(!SearchWindow::pesquisar(*m_source, QStringLiteral("Produtos")));
    QCOMPARE(m_ds->currentRow(), 4);
}

// An empty list opened, or the title shown instead of its message.
void TestSearchWindow::emptyDataSetShowsTheMessageAfterTheBar()
{
    auto empty = makeItems(0);
    DataSource source(empty.get());
    QVERIFY(!SearchWindow::pesquisar(source, QStringLiteral("Tipo Consumidor|Tipo Consumidor "
                                                            "não cadastrado.")));
    QCOMPARE(m_ui->texts(), QStringList{QStringLiteral("Tipo Consumidor não cadastrado.")});
    QString list = QStringLiteral("antes");
    QVERIFY(!SearchWindow::pesquisaLista(source, QStringLiteral("CODIGO"),
                                         QStringLiteral("Produto|Não há produto cadastrado."),
                                         &list));
    QCOMPARE(m_ui->lastText(), QStringLiteral("Não há produto cadastrado."));
    QCOMPARE(list, QStringLiteral("antes"));
}

// A list text the readers of "_" + 10 characters cannot split.
void TestSearchWindow::listWritesEachKeyPadded()
{
    QString list;
    whenOpen([](SearchWindow *window) {
        QTableView *view = window->view();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Space); // row 0
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Space); // row 2
        QTest::keyClick(view, Qt::Key_Return);
    });
    QVERIFY(SearchWindow::pesquisaLista(*m_source, QStringLiteral("CODIGO"),
                                        QStringLiteral("Produto"), &list));
    QCOMPARE(list, QStringLiteral("_0001      _0003      "));
    // The readers' own walk: 10 characters after each "_".
    QStringList read;
    for (int p = list.indexOf(u'_'); p >= 0 && p + 1 < list.size(); p = list.indexOf(u'_', p + 11))
        read.append(list.mid(p + 1, 10).trimmed());
    QCOMPARE(read, (QStringList{QStringLiteral("0001"), QStringLiteral("0003")}));
}

// A second list search that forgets what was chosen, or a filter that drops
// marks of rows it hides.
void TestSearchWindow::listStartsWithTheKeysAlreadyChosen()
{
    QString list = listText({QStringLiteral("0002"), QStringLiteral("0005")});
    whenOpen([](SearchWindow *window) {
        QCOMPARE(window->model()->markedRows(), (QList<int>{1, 4}));
        QTest::keyClicks(window->filterEdit(), QStringLiteral("0012"));
        QCOMPARE(window->shownRowCount(), 1);
        window->view()->setFocus();
        QTest::keyClick(window->view(), Qt::Key_Space);
        QTest::keyClick(window->view(), Qt::Key_Return);
    });
    QVERIFY(SearchWindow::pesquisaLista(*m_source, QStringLiteral("CODIGO"),
                                        QStringLiteral("Produto"), &list));
    QCOMPARE(list,
             listText({QStringLiteral("0002"), QStringLiteral("0005"), QStringLiteral("0012")}));
}

void TestSearchWindow::listTextRoundTrip_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("codes") << QStringList{QStringLiteral("0001"), QStringLiteral("123")};
    QTest::newRow("full width") << QStringList{QStringLiteral("1234567890"), QStringLiteral("7")};
    QTest::newRow("holding an underscore")
        << QStringList{QStringLiteral("A_B"), QStringLiteral("C")};
    QTest::newRow("longer than the width, kept whole")
        << QStringList{QStringLiteral("ABCDEFGHIJKL"), QStringLiteral("Z")};
    QTest::newRow("none") << QStringList{};
}

// Keys cut, merged or lost between writing a list and reading it back.
void TestSearchWindow::listTextRoundTrip()
{
    QFETCH(QStringList, keys);
    QCOMPARE(listKeys(listText(keys)), keys);
}

// A list accepted although one of its keys does not exist.
void TestSearchWindow::validExChecksEveryKey()
{
    QString bad;
    QVERIFY(ValidEx(*m_source, QStringLiteral("CODIGO"),
                    listText({QStringLiteral("0001"), QStringLiteral("0012")}), &bad));
    QVERIFY(bad.isEmpty());
    QVERIFY(!ValidEx(
        *m_source, QStringLiteral("CODIGO"),
        listText({QStringLiteral("0001"), QStringLiteral("0099"), QStringLiteral("0098")}), &bad));
    QCOMPARE(bad, QStringLiteral("0099"));
    QVERIFY(ValidEx(*m_source, QStringLiteral("CODIGO"), QStringLiteral("0007")));
    QVERIFY(!ValidEx(*m_source, QStringLiteral("CODIGO"), QStringLiteral("7")));
    m_ds->moveTo(3);
    QVERIFY(ValidEx(*m_source, QStringLiteral("CODIGO"), QString()));
    QCOMPARE(m_ds->currentRow(), 3); // checking does not move the cursor
}

// A find that is case-sensitive, needs the whole value, or ignores "next".
void TestSearchWindow::findWindowMovesToTheFirstMatch()
{
    FindWindow window(*m_ds);
    window.show();
    QCOMPARE(window.fieldCombo()->count(), 5);
    window.fieldCombo()->setCurrentIndex(1); // Nome
    QCOMPARE(window.findFrom(1, QStringLiteral("MISTO"), 0), 4);
    QCOMPARE(window.findFrom(1, QStringLiteral("co"), 0), 3);
    QCOMPARE(window.findFrom(1, QStringLiteral("co"), 4), 11);
    QCOMPARE(window.findFrom(3, QStringLiteral("08:0"), 0), 0); // typed as shown
    QCOMPARE(window.findFrom(2, QStringLiteral("15"), 0), 9);   // "15,00"

    window.valueEdit()->setText(QStringLiteral("co"));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnProximo")),
                      Qt::LeftButton);
    QCOMPARE(m_ds->currentRow(), 3);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnProximo")),
                      Qt::LeftButton);
    QCOMPARE(m_ds->currentRow(), 11);
    QVERIFY(window.isVisible());
    window.valueEdit()->setText(QStringLiteral("xyz"));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnProcurar")),
                      Qt::LeftButton);
    QCOMPARE(m_ui->lastText(), QStringLiteral("Registro não encontrado."));
    QCOMPARE(m_ds->currentRow(), 11);
    window.valueEdit()->setText(QStringLiteral("bau"));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btnProcurar")),
                      Qt::LeftButton);
    QCOMPARE(m_ds->currentRow(), 1);
    QVERIFY(!window.isVisible()); // found: the window closes
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
