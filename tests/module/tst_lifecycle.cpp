#include "ClosedPort.h"
#include "ScriptedHostUi.h"

#include "autoprice/Cli_prx51704.h"
#include "autoprice/Cli_prx51706.h"
#include "autoprice/Cli_prx51707.h"
#include "autoprice/Cli_prx51708.h"
#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "net/NetConnection.h"
#include "package/Pkg_prx51700.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/Controls.h"
#include "services/HostState.h"
#include "transfer/Cli_prx51702.h"
#include "transfer/Cli_prx51703.h"
#include "transfer/Cli_prx51709.h"
#include "transfer/Cli_prx51710.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace prx;

namespace {

// Runs `action` on the next modal dialog as soon as it is up, then closes it.
void whenModalOpens(const std::function<void(QWidget *)> &action)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        action(modal);
        modal->close();
    });
    poll->start();
}

int openScreens()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<TfrmTabePreco *>(w))
            ++count;
    }
    return count;
}

} // namespace

class LifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // A second call while the screen is open must show it again, not build
    // a second one; after a close the next call must build a fresh screen
    // that fills the branch from the host again on its first activation.
    void mainScreenIsBuiltOncePerOpening();
    // The host's entry point must open the same screen the creator opens.
    void iniProcOpensTheMainScreen();
    // A host bound to its branch must not let the branch be changed, and
    // the table grid gets the focus instead.
    void boundBranchLocksTheBranchEntry();
    // The connection must take the host's server address when it connects.
    void connectionUsesTheHostAddress();

    // Export and import dialogs are new on every call and freed on close.
    void everyCallBuildsANewDialog_data();
    void everyCallBuildsANewDialog();
    // The create-once dialogs keep their flag exactly while they are built.
    void createOnceFlagsFollowTheDialog_data();
    void createOnceFlagsFollowTheDialog();
    // A dialog that cannot be built (no price table screen to work on) must
    // report it, leave its flag unset and the cursor as it was.
    void failedBuildLeavesNothingBehind_data();
    void failedBuildLeavesNothingBehind();
    // The copy dialog's arguments are kept and the chosen products are
    // forgotten on every call.
    void copyDialogKeepsArgumentsAndEmptiesTheList();
    // The list of products without a tax rate is a copy of the caller's;
    // a caller without one is refused instead of showing garbage.
    void productsWithoutTaxRate();
    // The report keeps its own copy of the failed products.
    void reportCopiesTheErrors();

private:
    TfrmTabePreco *openMainScreen();
    void closeMainScreen();

    std::unique_ptr<prx::test::ScriptedHostUi> m_ui;
};

void LifecycleTest::initTestCase()
{
    QCOMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));
    QVERIFY(!Cli_prx51700::boIdCriado);
    HostState &state = HostState::instance();
    state.serverHost = QStringLiteral("127.0.0.1");
    state.serverPort = closedPort();
}

void LifecycleTest::init()
{
    m_ui = std::make_unique<prx::test::ScriptedHostUi>();
    HostState &state = HostState::instance();
    state.branchCode = QStringLiteral("0001");
    state.branchName = QStringLiteral("Restaurante Centro");
    state.boundToBranch = false;
}

void LifecycleTest::cleanup()
{
    closeMainScreen();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    m_ui.reset();
}

TfrmTabePreco *LifecycleTest::openMainScreen()
{
    Cli_prx51700::CriaTabePreco();
    TfrmTabePreco *form = Cli_prx51700::frmTabePreco;
    if (form && !QTest::qWaitForWindowActive(form))
        return nullptr;
    return form;
}

void LifecycleTest::closeMainScreen()
{
    QPointer<TfrmTabePreco> form = Cli_prx51700::frmTabePreco;
    if (!form)
        return;
    form->close();
    QTRY_VERIFY(form.isNull());
}

void LifecycleTest::mainScreenIsBuiltOncePerOpening()
{
    TfrmTabePreco *first = openMainScreen();
    QVERIFY(first);
    QVERIFY(Cli_prx51700::boIdCriado);
    QCOMPARE(first->medCdFilial->text(), QStringLiteral("0001"));
    QCOMPARE(first->edtNmFilial->text(), QStringLiteral("Restaurante Centro"));
    QVERIFY(first->medCdFilial->hasFocus());
    QCOMPARE(first->windowTitle(), QStringLiteral("Tabela de Preços"));
    QCOMPARE(first->screenCode(), QStringLiteral("PRX51700"));
    QCOMPARE(Trad(first), QStringList()); // every text has a stable name to translate by

    first->medCdFilial->setText(QStringLiteral("0002")); // the user's own choice
    QPointer<TfrmTabePreco> kept(first);
    Cli_prx51700::CriaTabePreco();
    QCOMPARE(Cli_prx51700::frmTabePreco, first);
    QCOMPARE(openScreens(), 1);
    QCOMPARE(first->medCdFilial->text(), QStringLiteral("0002")); // not a first activation

    first->close();
    QTRY_VERIFY(kept.isNull());
    QVERIFY(!Cli_prx51700::boIdCriado);
    QCOMPARE(Cli_prx51700::frmTabePreco, nullptr);
    QCOMPARE(openScreens(), 0);

    HostState::instance().branchCode = QStringLiteral("0003");
    TfrmTabePreco *second = openMainScreen();
    QVERIFY(second);
    QCOMPARE(openScreens(), 1);
    QCOMPARE(second->medCdFilial->text(), QStringLiteral("0003"));
}

void LifecycleTest::iniProcOpensTheMainScreen()
{
    IniProc();
    TfrmTabePreco *form = Cli_prx51700::frmTabePreco;
    QVERIFY(form);
    QVERIFY(Cli_prx51700::boIdCriado);
    QVERIFY(QTest::qWaitForWindowActive(form));
    IniProc();
    Cli_prx51700_CriaTabePreco();
    QCOMPARE(Cli_prx51700::frmTabePreco, form);
    QCOMPARE(openScreens(), 1);
}

void LifecycleTest::boundBranchLocksTheBranchEntry()
{
    HostState::instance().boundToBranch = true;
    TfrmTabePreco *form = openMainScreen();
    QVERIFY(form);
    QCOMPARE(form->medCdFilial->text(), QStringLiteral("0001"));
    QVERIFY(!form->medCdFilial->isEnabled());
    QVERIFY(!form->btpFilial->isEnabled());
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    // Entering the table grid asked the server for the branch; none answers.
    QTRY_COMPARE(m_ui->errors().size(), 1);
    QCOMPARE(m_ui->busyDepth(), 0);
    // The branch stays locked after the refusal, and whatever state rule
    // enables the branch panel again.
    QVERIFY(!form->medCdFilial->isEnabled());
    form->dtsPadraoStateChange();
    form->dtsItemPrecoStateChange();
    form->dtsPrecoHoraStateChange();
    QVERIFY(!form->medCdFilial->isEnabled());
    QVERIFY(!form->btpFilial->isEnabled());
    QVERIFY(!form->edtNmFilial->isEnabled()); // only shows the branch
}

void LifecycleTest::connectionUsesTheHostAddress()
{
    TfrmTabePreco *form = openMainScreen();
    QVERIFY(form);
    QCOMPARE(form->netTabePreco->serverObject(), QStringLiteral("Prx51700.rdmTabePreco"));
    QCOMPARE(form->netTabePreco->host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(form->netTabePreco->port(), int(HostState::instance().serverPort));
    QVERIFY(m_ui->errors().isEmpty()); // a failed connect is reported by the first call only
}

void LifecycleTest::everyCallBuildsANewDialog_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("export") << 0;
    // The import dialog needs a current period; without a server the screen
    // has none, and its creator refuses (its own tests cover that).
}

void LifecycleTest::everyCallBuildsANewDialog()
{
    QFETCH(int, which);
    QVERIFY(openMainScreen());
    QList<QPointer<QWidget>> seen;
    QStringList titles;
    for (int call = 0; call < 2; ++call) {
        whenModalOpens([&](QWidget *dialog) {
            seen << dialog;
            titles << dialog->windowTitle();
        });
        if (which == 0)
            Cli_prx51703_CriaImportaTabela();
        else
            Cli_prx51702::CriaImportaVigencia();
        QTRY_VERIFY(seen.size() == call + 1 && seen.last().isNull());
    }
    QCOMPARE(titles.value(0), which == 0 ? QStringLiteral("Exportar Tabela de Preço")
                                         : QStringLiteral("Importar Vigência"));
    QCOMPARE(titles.value(1), titles.value(0));
}

void LifecycleTest::createOnceFlagsFollowTheDialog_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("caption");
    QTest::newRow("promotion") << 0 << "Alteração Automática";
    QTest::newRow("calculation") << 1 << "Calcula Preço";
    // The automatic differentiated prices and the copy refuse to open
    // without a period and an item, which a screen without a server lacks;
    // tests/gui/tst_copydialogs drives them on a real one.
}

static bool *flagOf(int which)
{
    switch (which) {
    case 0:
        return &Cli_prx51706::boStCriado;
    case 1:
        return &Cli_prx51704::boStCriado;
    case 2:
        return &Cli_prx51707::boStCriado;
    default:
        return &Cli_prx51709::boCriado;
    }
}

static void callCreator(int which)
{
    switch (which) {
    case 0:
        Cli_prx51706_CriaCadAutPromocao();
        break;
    case 1:
        Cli_prx51704_CriaCadAutTabePrec();
        break;
    case 2:
        Cli_prx51707_CriaCadAutPrecoDeferenciado();
        break;
    case 4:
        Cli_prx51703::CriaImportaTabela();
        break;
    case 5:
        Cli_prx51702::CriaImportaVigencia();
        break;
    default:
        Cli_prx51709_criaCopiaPreco("0001", "001", "0000000001", QDateTime(), QDateTime());
        break;
    }
}

void LifecycleTest::createOnceFlagsFollowTheDialog()
{
    QFETCH(int, which);
    QFETCH(QString, caption);
    QVERIFY(openMainScreen());
    bool *flag = flagOf(which);
    QVERIFY(!*flag);
    for (int call = 0; call < 2; ++call) {
        bool flagWhileOpen = false;
        QString title;
        QPointer<QWidget> dialog;
        // The user works in the dialog under the normal cursor, whatever the
        // creator showed while building it.
        Qt::CursorShape cursorWhileOpen = Qt::BusyCursor;
        whenModalOpens([&](QWidget *d) {
            flagWhileOpen = *flag;
            title = d->windowTitle();
            dialog = d;
            if (const QCursor *cursor = QApplication::overrideCursor())
                cursorWhileOpen = cursor->shape();
        });
        callCreator(which);
        QVERIFY(flagWhileOpen);
        QCOMPARE(title, caption);
        QCOMPARE(cursorWhileOpen, Qt::ArrowCursor);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!*flag);
        QTRY_VERIFY(dialog.isNull());
    }
}

void LifecycleTest::failedBuildLeavesNothingBehind_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("promotion") << 0;
    QTest::newRow("calculation") << 1;
    QTest::newRow("differentiated") << 2;
    QTest::newRow("copy") << 3;
    QTest::newRow("export") << 4;
    QTest::newRow("import") << 5;
}

void LifecycleTest::failedBuildLeavesNothingBehind()
{
    QFETCH(int, which);
    QVERIFY(!Cli_prx51700::frmTabePreco);
    bool failed = false;
    try {
        callCreator(which);
    } catch (const std::exception &e) {
        failed = true;
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("Tabela de Preços")));
    }
    QVERIFY(failed);
    if (which < 4)
        QVERIFY(!*flagOf(which));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // The same creator works once the screen is there (the import, the
    // automatic differentiated prices and the copy once it also has a period,
    // which it has not without a server).
    QVERIFY(openMainScreen());
    if (which == 2 || which == 3) {
        QVERIFY_THROWS_EXCEPTION(Abort, callCreator(which));
        QVERIFY(!*flagOf(which));
        return;
    }
    if (which == 5) {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, callCreator(which));
        return;
    }
    bool shown = false;
    whenModalOpens([&](QWidget *) { shown = true; });
    callCreator(which);
    QVERIFY(shown);
}

void LifecycleTest::copyDialogKeepsArgumentsAndEmptiesTheList()
{
    QVERIFY(openMainScreen());
    const QDateTime start = wallClock(QDate(2026, 11, 7));
    const QDateTime end = wallClock(QDate(2027, 1, 5));
    for (const QString &product : {QStringLiteral("0000000035"), QStringLiteral("0000000059")}) {
        Cli_prx51709::stProdDest = QStringLiteral("_0000000001");
        // Without a server the screen has no item, so the dialog refuses to
        // open; the arguments are kept and the list emptied all the same.
        QVERIFY_THROWS_EXCEPTION(Abort, Cli_prx51709::criaCopiaPreco(QStringLiteral("0002"),
                                                                     QStringLiteral("003"), product,
                                                                     start, end));
        QCOMPARE(Cli_prx51709::stProdDest, QString());
        QCOMPARE(Cli_prx51710::stFilial, QStringLiteral("0002"));
        QCOMPARE(Cli_prx51709::stTabPrec, QStringLiteral("003"));
        QCOMPARE(Cli_prx51709::stCdProdOrigem, product);
        QCOMPARE(Cli_prx51709::dtVigIni, start);
        QCOMPARE(Cli_prx51709::dtVigFin, end);
    }
}

void LifecycleTest::productsWithoutTaxRate()
{
    TfrmTabePreco *form = openMainScreen();
    QVERIFY(form);
    ClientDataSet &list = *form->cdsAliqProd;
    list.addField(QStringLiteral("CDFILIAL"), FieldType::String, 4);
    list.addField(QStringLiteral("CDTABEPREC"), FieldType::String, 3);
    list.addField(QStringLiteral("CDARVPROD"), FieldType::String, 10);
    list.addField(QStringLiteral("NMPRODUTO"), FieldType::String, 55);
    list.createDataSet();
    list.appendRecord({"0001", "001", "01010001", "Refrigerante Cola Lata 350ml"});
    list.appendRecord({"0001", "001", "01010002", "Refrigerante Cola Zero Lata 350ml"});

    int rows = -1;
    QString first;
    whenModalOpens([&](QWidget *dialog) {
        auto *copy = dialog->findChild<ClientDataSet *>(QStringLiteral("cdsProdSemImpos"));
        QVERIFY(copy);
        rows = copy->recordCount();
        first = copy->fieldByName(u"NMPRODUTO").asString();
    });
    Cli_prx51708::boConfirma = false;
    QVERIFY(!Cli_prx51708_CriaProdSemImpos(form));
    QCOMPARE(Cli_prx51708::frmOrig, form);
    QCOMPARE(rows, 2);
    QCOMPARE(first, QStringLiteral("Refrigerante Cola Lata 350ml"));
    QCOMPARE(list.recordCount(), 2); // the caller's list is untouched

    QWidget stranger;
    QVERIFY_THROWS_EXCEPTION(std::exception, Cli_prx51708::CriaProdSemImpos(&stranger));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void LifecycleTest::reportCopiesTheErrors()
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{"CDPRODUTO", FieldType::String, 10}, {"DSERRO", FieldType::String, 80}});
    const int row = packet->appendRow();
    packet->setString(row, 0, u"0000000035");
    packet->setString(row, 1, u"Produto sem preço no período.");
    int shownRows = -1;
    whenModalOpens([&](QWidget *dialog) {
        auto *errors = dialog->findChild<ClientDataSet *>(QStringLiteral("cdsErrosCopia"));
        shownRows = errors ? errors->recordCount() : -1;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Inconsistências de Preços Copiados"));
    });
    Cli_prx51710::criaRelInconsistencia(QStringLiteral("0001"), QStringLiteral("001"),
                                        QVariant::fromValue(packet));
    QCOMPARE(shownRows, 1);
    QCOMPARE(Cli_prx51710::stTabePrec, QStringLiteral("001"));
    packet->setString(row, 1, u"alterado depois");
    const DataPacketPtr kept = Cli_prx51710::oleErros.value<DataPacketPtr>();
    QVERIFY(kept);
    QCOMPARE(kept->string(0, 1), QStringLiteral("Produto sem preço no período."));
}

QTEST_MAIN(LifecycleTest)
#include "tst_lifecycle.moc"
