#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ItemsPageTest.h"
#include "ScreenSteps.h"

#include "autoprice/Cli_prx51707.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "history/TfrmHistPreco.h"
#include "net/NetConnection.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "report/ReportCatalog.h"
#include "services/HostConfig.h"
#include "services/HostState.h"
#include "sheet/SheetFileQuestion.h"
#include "sheet/TfrmPlanilhaPreview.h"
#include "transfer/Cli_prx51702.h"
#include "transfer/Cli_prx51703.h"
#include "transfer/Cli_prx51709.h"
#include "transfer/Cli_prx51710.h"
#include "widgets/DBGrid.h"
#include "widgets/SearchWindow.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <pwd.h>
#include <unistd.h>

using namespace prx;
using prx::test::ItemsPageTest;

namespace {

QString plain(QString text)
{
    // A mnemonic marker takes no room.
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(u'&')
        .replace(u'\x01', u'&');
}

QString nameOf(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// The column titles of a table whose text does not fit the room its
// header leaves for it (the sort mark included where the view can sort).
void cutTitles(const QTableView *view, QStringList *cut)
{
    const QHeaderView *header = view->horizontalHeader();
    if (!header->isVisible())
        return;
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int mark = header->isSortIndicatorShown() ? header->height() / 2 + 2 * margin : 0;
    for (int s = 0; s < header->count(); ++s) {
        if (header->isSectionHidden(s) || header->sectionSize(s) == 0)
            continue;
        const QString title =
            view->model()->headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
        if (title.trimmed().isEmpty())
            continue;
        const int room = header->sectionSize(s) - 2 * margin - mark;
        if (header->fontMetrics().horizontalAdvance(title) > room)
            *cut << QStringLiteral("%1: título \"%2\"").arg(nameOf(view), title);
    }
}

// Every text of the window that does not show whole at the window's
// present size: labels, buttons, group titles, tabs, read-only memos and
// column titles.
QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (!w->isVisibleTo(window) || w->width() <= 0)
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const QString text = plain(label->text());
            if (text.isEmpty() || Qt::mightBeRichText(text))
                continue;
            const QRect room = label->contentsRect();
            bool fits = true;
            if (label->wordWrap()) {
                fits = label->heightForWidth(label->width()) <= label->height();
            } else {
                // A blank at the end of a line takes no room anyone sees.
                for (const QString &line : text.split(u'\n'))
                    fits = fits &&
                           label->fontMetrics().horizontalAdvance(line.trimmed()) <= room.width();
                fits = fits && label->fontMetrics().height() * int(text.count(u'\n') + 1) <=
                                   room.height() + 1;
            }
            if (!fits)
                cut << QStringLiteral("%1: \"%2\"").arg(nameOf(label), text);
        } else if (auto *tool = qobject_cast<QToolButton *>(w)) {
            // A toolbar button draws its text centred over its whole width.
            if (tool->toolButtonStyle() != Qt::ToolButtonIconOnly && !tool->text().isEmpty() &&
                tool->fontMetrics().horizontalAdvance(plain(tool->text())) > tool->width())
                cut << QStringLiteral("%1: \"%2\"").arg(nameOf(tool), plain(tool->text()));
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (!button->text().isEmpty() && button->sizeHint().width() > button->width())
                cut << QStringLiteral("%1: \"%2\"").arg(nameOf(button), plain(button->text()));
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            if (group->minimumSizeHint().width() > group->width())
                cut << QStringLiteral("%1: \"%2\"").arg(nameOf(group), plain(group->title()));
        } else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                if (tabs->fontMetrics().horizontalAdvance(plain(tabs->tabText(i))) + space >
                    tabs->tabRect(i).width())
                    cut << QStringLiteral("%1: aba \"%2\"").arg(nameOf(tabs), tabs->tabText(i));
            }
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(w)) {
            if (memo->isReadOnly() && (memo->verticalScrollBar()->maximum() > 0 ||
                                       memo->horizontalScrollBar()->maximum() > 0))
                cut << QStringLiteral("%1: \"%2\"").arg(nameOf(memo), memo->toPlainText());
        } else if (auto *view = qobject_cast<QTableView *>(w)) {
            cutTitles(view, &cut);
        }
    }
    return cut;
}

// The texts a grid shows in its visible columns that do not fit them.
QStringList cutCells(DBGrid *grid)
{
    QStringList cut;
    const QFontMetrics fm = grid->fontMetrics();
    for (int c = 0; c < grid->columnCount(); ++c) {
        const DBGridColumn &column = grid->column(c);
        if (!column.isVisible())
            continue;
        for (int r = 0; r < grid->dataSet()->recordCount(); ++r) {
            const QString text = grid->displayTextAt(r, column.fieldName());
            // The grid draws a cell's text 2 pixels in from each side.
            if (fm.horizontalAdvance(text) + 4 > grid->columnWidth(c))
                cut << QStringLiteral("%1: \"%2\"").arg(column.title(), text);
        }
    }
    return cut;
}

QString accountName()
{
    const passwd *pw = getpwuid(geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

} // namespace

// What a person reads on the price table screen and its dialogs: whole
// texts at the windows' default sizes, product codes through the host's
// mask, a history in words, and the spreadsheet commands where the items
// are. Screenshots of each window land in the temporary folder.
class ReadableTextsTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // Each window at its default size shows every label, button, group,
    // tab and column title whole.
    void windowsShowWholeTexts_data();
    void windowsShowWholeTexts();
    // The product code each window shows is the tree code through the
    // host's mask, as the grids show it.
    void codesThroughTheMask_data();
    void codesThroughTheMask();
    // The history names each operation and weekday in words, and shows
    // long user names and values whole.
    void historyInWords_data();
    void historyInWords();
    // Without a configured name or USER, a change is recorded under the
    // system account's name.
    void historyNamesTheAccount();
    // Export and import of the period's spreadsheet from the items page and
    // from the "Imp./Exp." pop-up.
    void sheetCommandsWhereTheItemsAre_data();
    void sheetCommandsWhereTheItemsAre();

private:
    using Inspect = std::function<void(QWidget *)>;
    // Opens the named window as a user does and runs `inspect` on it while
    // it is up; false when it does not come up.
    bool openWindow(const QString &which, const Inspect &inspect);
    bool runModal(const std::function<void()> &open, const Inspect &inspect);
    bool exec(const QString &statement)
    {
        return test::execFixtureSql(m_server.databaseFile(), statement);
    }
    // Gives the item in focus the longest name the catalogue allows.
    void lengthenCurrentName(TfrmTabePreco *form);
    // Saves a typed price of the item in focus through the grid.
    void typePrice(TfrmTabePreco *form, const QString &typed);
};

bool ReadableTextsTest::runModal(const std::function<void()> &open, const Inspect &inspect)
{
    bool ran = false;
    test::onNextModal([&](QWidget *modal) {
        ran = true;
        QPointer<QWidget> guard(modal);
        inspect(modal);
        if (guard && guard->isVisible())
            guard->close();
    });
    open();
    return ran;
}

void ReadableTextsTest::lengthenCurrentName(TfrmTabePreco *form)
{
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    QVERIFY(exec(QStringLiteral("UPDATE PRODUTO SET NMPRODUTO = 'Refrigerante Guaraná Zero "
                                "Lata 350 ml (Refrigerado)' WHERE CDPRODUTO = '%1'")
                     .arg(product)));
    form->loadItemPreco();
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", product));
}

void ReadableTextsTest::typePrice(TfrmTabePreco *form, const QString &typed)
{
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QTest::keyClick(form->dbsItemPreco, Qt::Key_F2);
    QVERIFY(form->dbsItemPreco->editorActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), typed);
    form->dbsItemPreco->commitEditor();
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
}

bool ReadableTextsTest::openWindow(const QString &which, const Inspect &inspect)
{
    if (which == u"tax-rate list") {
        // The second branch still lacks tax rates: its approval lists them.
        TfrmTabePreco *form = test::openOnBranch(QStringLiteral("0002"));
        if (!form || !form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")) ||
            !form->cdsTabeVend->locate(u"IDSITVGPREC", QStringLiteral("3")))
            return false;
        return runModal([form] { QTest::mouseClick(form->btnAprDig, Qt::LeftButton); }, inspect);
    }
    if (which == u"export" || which == u"import") {
        TfrmTabePreco *form = test::openOnBranch();
        if (!form || !form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")))
            return false;
        QAction *entry = which == u"export" ? form->pmnExportar : form->pmnImp;
        return runModal([entry] { entry->trigger(); }, inspect);
    }
    if (which == u"inconsistency report") {
        TfrmTabePreco *form = m_page.open();
        if (!form)
            return false;
        auto errors = std::make_shared<DataPacket>(
            QList<FieldDef>{{QStringLiteral("CDARVPROD"), FieldType::String, 40}});
        return runModal(
            [errors] {
                Cli_prx51710::criaRelInconsistencia(QStringLiteral("0001"), QStringLiteral("001"),
                                                    QVariant::fromValue(errors));
            },
            inspect);
    }
    TfrmTabePreco *form = m_page.open();
    if (!form || !test::ItemsPage::moveToPlainItem(form))
        return false;
    if (which == u"items page") {
        inspect(form);
        return true;
    }
    if (which == u"copy dialog" || which == u"product list picker") {
        lengthenCurrentName(form);
        return runModal([form] { form->mnuCopPrecoDifClick(); },
                        [&](QWidget *modal) {
                            auto *d = qobject_cast<TfrmCopiaPreco *>(modal);
                            if (which == u"copy dialog" || !d) {
                                inspect(modal);
                                return;
                            }
                            // The list picker over the dialog's products, as
                            // the host shows it.
                            m_ui->cancelList();
                            QTest::mouseClick(d->btpProdLista, Qt::LeftButton);
                            SearchWindow picker(*d->dtsProdCopia->dataSet(),
                                                QStringLiteral("Produtos"),
                                                SearchWindow::Mode::Multiple, d);
                            picker.show();
                            QVERIFY(QTest::qWaitForWindowExposed(&picker));
                            inspect(&picker);
                        });
    }
    if (which == u"consumer-type search") {
        return runModal([] { Cli_prx51707::CriaCadAutPrecoDeferenciado(); },
                        [&](QWidget *modal) {
                            auto *d = qobject_cast<TfrmCadAutPrecoDeferenciado *>(modal);
                            if (!d)
                                return;
                            m_ui->cancelSearch();
                            QTest::mouseClick(d->btnListaTipoConsumidor, Qt::LeftButton);
                            QVERIFY2(d->dtsTipoCons->dataSet(),
                                     qPrintable(m_ui->texts().join(u'\n')));
                            SearchWindow search(*d->dtsTipoCons->dataSet(),
                                                QStringLiteral("Tipo de Consumidor"),
                                                SearchWindow::Mode::Single, d);
                            search.show();
                            QVERIFY(QTest::qWaitForWindowExposed(&search));
                            inspect(&search);
                        });
    }
    if (which == u"price in force" || which == u"price history") {
        lengthenCurrentName(form);
        const char *entry = which == u"price in force" ? "mnuPrecoVigente" : "mnuHistPreco";
        return runModal(
            [form, entry] { form->findChild<QAction *>(QString::fromLatin1(entry))->trigger(); },
            inspect);
    }
    return false;
}

void ReadableTextsTest::windowsShowWholeTexts_data()
{
    QTest::addColumn<QString>("which");
    for (const char *w : {"items page", "tax-rate list", "copy dialog", "product list picker",
                          "consumer-type search", "price in force", "price history", "export",
                          "import", "inconsistency report"})
        QTest::newRow(w) << QString::fromLatin1(w);
}

void ReadableTextsTest::windowsShowWholeTexts()
{
    QFETCH(QString, which);
    QStringList cut;
    QString shot;
    const bool opened = openWindow(which, [&](QWidget *window) {
        QApplication::processEvents();
        test::grabScreenshot(
            window, QStringLiteral("legivel_%1.png").arg(which).replace(u' ', u'_'), &shot);
        cut = cutTexts(window);
    });
    QVERIFY2(opened, qPrintable(m_ui->errors().join(u'\n')));
    QCOMPARE(m_ui->errors(), QStringList());
    qInfo("screenshot: %s", qPrintable(shot));
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void ReadableTextsTest::codesThroughTheMask_data()
{
    QTest::addColumn<QString>("which");
    for (const char *w : {"tax-rate list", "copy dialog", "price in force", "price history",
                          "inconsistency report"})
        QTest::newRow(w) << QString::fromLatin1(w);
}

void ReadableTextsTest::codesThroughTheMask()
{
    QFETCH(QString, which);
    QString shown, tree;
    const bool opened = openWindow(which, [&](QWidget *window) {
        TfrmTabePreco *screen = Cli_prx51700::frmTabePreco;
        if (which == u"tax-rate list") {
            auto *grid = window->findChild<DBGrid *>(QStringLiteral("dbgMensagem"));
            QVERIFY(grid && grid->dataSet()->recordCount() > 0);
            tree = grid->dataSet()->fieldByName(u"CDARVPROD").asString();
            for (int c = 0; c < grid->columnCount(); ++c) {
                if (grid->column(c).fieldName() == u"CDARVPROD")
                    shown = grid->cellText(grid->dataSet()->currentRow(), grid->column(c));
            }
            return;
        }
        tree = screen->cdsItemPreco->fieldByName(u"CDARVPROD").asString();
        if (auto *report = qobject_cast<TfrmInconsistenciaCopia *>(window)) {
            report::Definition asked;
            asked.parameters = QStringList{QStringLiteral("P_CDARVPRODORIG")};
            QList<std::pair<QString, QString>> params;
            report->rpddPadraoBeforeGetQueryParams(asked, &params);
            shown = params.value(0).second;
            return;
        }
        const char *label = which == u"copy dialog" ? "lblDadosProd" : "lblProduto";
        if (auto *l = window->findChild<QLabel *>(QString::fromLatin1(label)))
            shown = l->text();
    });
    QVERIFY2(opened, qPrintable(m_ui->errors().join(u'\n')));
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(tree.size(), 8);
    // 99.99.9999, as the item grid shows it.
    const QString masked = tree.left(2) + u'.' + tree.mid(2, 2) + u'.' + tree.mid(4);
    QVERIFY2(shown.contains(masked), qPrintable(shown));
}

void ReadableTextsTest::historyInWords_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("detail"); // what the row's key or field reads
    QTest::addColumn<QString>("typed");  // the new price, as typed
    QTest::newRow("typed on the items page") << "typed"
                                             << "Digitação de preços"
                                             << "Preço"
                                             << "12345,67";
    QTest::newRow("spreadsheet import") << "sheet"
                                        << "Importação de planilha"
                                        << "Preço"
                                        << "23456,78";
    QTest::newRow("written outside the program, on a Saturday")
        << "direct"
        << "Alteração direta na base de dados"
        << "Todos | Sábado | 18:00-22:00 | "
        << "";
}

void ReadableTextsTest::historyInWords()
{
    QFETCH(QString, how);
    QFETCH(QString, operation);
    QFETCH(QString, detail);
    QFETCH(QString, typed);
    const QString user = QStringLiteral("maria.aparecida.conceicao.dos.santos");
    NetConnection::setDefaultUserName(user);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(test::ItemsPage::moveToPlainItem(form));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    if (how == u"typed") {
        typePrice(form, typed);
    } else if (how == u"sheet") {
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("itens.csv"));
        SheetFileQuestion::setAnswer([&](bool, const QString &) { return path; });
        const auto restore = qScopeGuard([] { SheetFileQuestion::setAnswer(nullptr); });
        m_ui->answerQuestion(MsgNo);
        form->findChild<QAction *>(QStringLiteral("mnuExportarPlanilha"))->trigger();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        file.close();
        const qsizetype at =
            lines.indexOf(QRegularExpression(QStringLiteral("^%1;.*").arg(product)));
        QVERIFY(at > 0);
        QStringList cells = lines[at].split(u';');
        cells[4] = typed;
        lines[at] = cells.join(u';');
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8());
        file.close();
        QVERIFY(runModal(
            [form] {
                form->findChild<QAction *>(QStringLiteral("mnuImportarPlanilha"))->trigger();
            },
            [](QWidget *modal) {
                auto *preview = qobject_cast<TfrmPlanilhaPreview *>(modal);
                QVERIFY(preview);
                QTest::mouseClick(preview->btnImportar, Qt::LeftButton);
            }));
    } else {
        QVERIFY(exec(QStringLiteral(
                         "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                         "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                         "DTINIVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
                         "VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) "
                         "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRODUTO, 'T', "
                         "'7', '1800', '2200', DTINIVGPREC, 'P', 'D', 10, 0, 0, 'N', 'S', 'N', "
                         "'N' FROM ITEMPRECO WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                         "DTINIVGPREC LIKE '%1%' AND CDPRODUTO = '%2' AND CDPRPAITABPR = '%2'")
                         .arg(m_page.periodStart.toString(Qt::ISODate), product)));
        detail += m_page.periodStart.toString(u"dd/MM/yyyy");
    }
    QCOMPARE(m_ui->errors(), QStringList());

    QString newestOperation, newestUser, newestDetail, newestValue, shot;
    QStringList cut;
    QVERIFY(runModal(
        [form] { form->findChild<QAction *>(QStringLiteral("mnuHistPreco"))->trigger(); },
        [&](QWidget *window) {
            auto *dialog = qobject_cast<TfrmHistPreco *>(window);
            QVERIFY(dialog && dialog->cdsHistPreco->recordCount() > 0);
            DBGrid *grid = dialog->dbgHistorico;
            newestOperation = grid->displayTextAt(0, u"NMOPERACAO");
            newestUser = grid->displayTextAt(0, u"NMUSUARIO");
            newestDetail = grid->displayTextAt(0, how == u"direct" ? u"DSCHAVEDIA" : u"DSCAMPO");
            newestValue = grid->displayTextAt(0, u"VRNOVO");
            cut = cutCells(grid);
            test::grabScreenshot(dialog, QStringLiteral("legivel_historico_%1.png").arg(how),
                                 &shot);
        }));
    qInfo("screenshot: %s", qPrintable(shot));
    QCOMPARE(newestOperation, operation);
    QCOMPARE(newestDetail, detail);
    if (how != u"direct") {
        QCOMPARE(newestUser, user);
        QCOMPARE(
            newestValue,
            QLocale(QLocale::Portuguese, QLocale::Brazil)
                .toString(QLocale(QLocale::Portuguese, QLocale::Brazil).toDouble(typed), 'f', 2));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void ReadableTextsTest::historyNamesTheAccount()
{
    const QByteArray user = qgetenv("USER"), username = qgetenv("USERNAME");
    const auto restore = qScopeGuard([&] {
        qputenv("USER", user);
        qputenv("USERNAME", username);
    });
    qunsetenv("USER");
    qunsetenv("USERNAME");
    NetConnection::setDefaultUserName(QString());
    // The host's start-up with a configuration that names nobody.
    HostConfig config;
    HostState scratch;
    config.applyTo(scratch);

    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(test::ItemsPage::moveToPlainItem(form, 1));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    typePrice(form, QStringLiteral("4,56"));
    const QString recorded =
        test::fixtureValue(m_server.databaseFile(),
                           QStringLiteral("SELECT NMUSUARIO FROM HISTPRECO WHERE CDPRODUTO = '%1' "
                                          "ORDER BY NRHISTPRECO DESC LIMIT 1")
                               .arg(product))
            .toString();
    QVERIFY(!accountName().isEmpty());
    QCOMPARE(recorded, accountName());
}

void ReadableTextsTest::sheetCommandsWhereTheItemsAre_data()
{
    QTest::addColumn<bool>("itemsPage");
    QTest::addColumn<QString>("entry");
    QTest::newRow("items page, export") << true << "mnuExportarPlanilha";
    QTest::newRow("items page, import") << true << "mnuImportarPlanilha";
    QTest::newRow("Imp./Exp. pop-up, export") << false << "mnuExportarPlanilha";
    QTest::newRow("Imp./Exp. pop-up, import") << false << "mnuImportarPlanilha";
}

void ReadableTextsTest::sheetCommandsWhereTheItemsAre()
{
    QFETCH(bool, itemsPage);
    QFETCH(QString, entry);
    TfrmTabePreco *form = itemsPage ? m_page.open() : test::openOnBranch();
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")));
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.csv"));
    SheetFileQuestion::setAnswer([&](bool, const QString &) { return path; });
    const auto restore = qScopeGuard([] { SheetFileQuestion::setAnswer(nullptr); });
    const bool import = entry == u"mnuImportarPlanilha";
    if (import) {
        // A file of the period to read back.
        m_ui->answerQuestion(MsgNo);
        form->findChild<QAction *>(QStringLiteral("mnuExportarPlanilha"))->trigger();
        QVERIFY(QFile::exists(path));
    }

    QMenu *menu = nullptr;
    if (itemsPage) {
        // The import/export entry of the Registro menu stays off here.
        QVERIFY(!form->mnuImpExp->isEnabled());
        QVERIFY(form->mnuFormulario->isEnabled());
        menu = form->mnuFormulario->menu();
        menu->popup(form->mapToGlobal(QPoint(40, 40)));
    } else {
        QVERIFY(form->sbtImport->isEnabled());
        QTest::mouseClick(form->sbtImport, Qt::LeftButton);
        menu = form->pmnImportar;
    }
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QAction *action = nullptr;
    for (QAction *a : menu->actions()) {
        if (a->objectName() == entry)
            action = a;
    }
    QVERIFY2(action, qPrintable(entry));
    QVERIFY(action->isEnabled() && action->isVisible());

    bool previewed = false;
    if (import) {
        test::onNextModal([&](QWidget *modal) {
            previewed = qobject_cast<TfrmPlanilhaPreview *>(modal) != nullptr;
            modal->close();
        });
    } else {
        m_ui->answerQuestion(MsgNo, QStringLiteral("Incluir os preços diferenciados na planilha?"));
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    if (import) {
        QTRY_VERIFY(previewed);
    } else {
        QTRY_VERIFY2(m_ui->lastText().startsWith(QStringLiteral("Planilha gravada em ")),
                     qPrintable(m_ui->lastText()));
    }
    QCOMPARE(m_ui->errors(), QStringList());
}

QTEST_MAIN(ReadableTextsTest)
#include "tst_readabletexts.moc"
