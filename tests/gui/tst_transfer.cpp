#include "FaultProxy.h"
#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ScreenSteps.h"
#include "ScriptedHostUi.h"
#include "ServerFixture.h"

#include "dataset/ClientDataSet.h"
#include "package/FormLife.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/UserAction.h"
#include "transfer/Cli_prx51702.h"
#include "transfer/Cli_prx51703.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDateEditPlus.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

using namespace prx;
using prx::test::FaultProxy;
using prx::test::ScriptedHostUi;
using prx::test::ServerFixture;

namespace {

QDateTime day(int offset)
{
    return wallClock(QDate::currentDate().addDays(offset));
}

QString shown(const QDateTime &value)
{
    return value.date().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

// The export and import dialogs through their widgets, the price table
// screen and a real server behind a proxy that records the calls.
class TransferTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // A typed origin branch is brought to its width and named; an unknown
    // one is refused with the focus back; small letters never get in, "Ç"
    // does; another branch clears what depended on the old one.
    void originBranchEntry();
    // The two mode boxes act as one choice, and a later activation of the
    // dialog keeps the mode and the entries the user chose.
    void modesAndActivation();
    // Each refusal of the confirmation, with nothing sent to the server.
    void exportRefusals_data();
    void exportRefusals();
    // Answering no sends nothing and keeps the entries; yes creates the new
    // table with the origin's prices, tells the host of every table
    // written, closes and reloads the screen.
    void exportToNewTable();
    // Several branches with a picked product list; the list offers tree
    // codes whole, however long.
    void exportToSeveralBranches();
    // The import needs a current period on the screen.
    void importNeedsPeriod();
    // The origin start: blank, the destination's own start, and the search
    // that fills both dates and names each period's situation.
    void importOriginChecks();
    // A destination with prices asks first (no sends nothing); one without
    // is imported at once, without overwrite.
    void importQuestion_data();
    void importQuestion();

private:
    TfrmTabePreco *openScreen();
    template <class Form> Form *openDialog();
    bool exec(const QString &sql) { return test::execFixtureSql(m_server.databaseFile(), sql); }
    QVariant value(const QString &sql) { return test::fixtureValue(m_server.databaseFile(), sql); }
    void fillOneBranch(TfrmImportaTabela *d, const QString &branch, const QString &table,
                       bool newTable, const QString &name);

    ServerFixture m_server;
    FaultProxy m_proxy;
    std::unique_ptr<ScriptedHostUi> m_ui;
    QString m_shots;
};

void TransferTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    QVERIFY(m_proxy.start(m_server.host(), m_server.port()));
    // A table without periods, and a product with a long tree code priced in
    // the first branch's table 001.
    QVERIFY(exec("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                 "VALUES ('0001', '050', 'Vazia')"));
    QVERIFY(exec("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD) "
                 "VALUES ('9900000001', 'Produto de Código Longo', '0101999900001234')"));
    QVERIFY(exec("INSERT INTO PRODSEGMER (CDSEGMER, CDPRODUTO) VALUES ('00001', '9900000001'), "
                 "('00003', '9900000001')"));
    // Its tax rates: the periods it is priced and exported into are approved.
    QVERIFY(exec("INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) VALUES "
                 "('0001', '9900000001', 18), ('0002', '9900000001', 18)"));
    QVERIFY(exec(QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                                "CDPRODUTO, CDPRPAITABPR, VRPRECITEM) VALUES ('0001', '001', "
                                "'%1', '9900000001', '9900000001', 5.5)")
                     .arg(day(-30).toString(QStringLiteral("yyyy-MM-dd 00:00:00")))));
    m_shots = QDir(ServerFixture::binDir()).filePath(QStringLiteral("../screens"));
    QDir().mkpath(m_shots);
}

void TransferTest::cleanupTestCase()
{
    m_server.stop();
}

void TransferTest::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    test::setHostBranch();
    HostState &state = HostState::instance();
    state.processingDate = QDate::currentDate();
    state.serverHost = m_server.host();
    state.serverPort = m_proxy.port();
    state.clearChangedTables();
}

void TransferTest::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<FormDialog *>(w) && w->isVisible())
            w->close();
    }
    QPointer<TfrmTabePreco> form = Cli_prx51700::frmTabePreco;
    if (form) {
        form->close();
        QTRY_VERIFY(form.isNull());
    }
    QVERIFY(m_ui->busyBalanced());
    QCOMPARE(m_ui->pendingAnswers(), 0);
    m_ui.reset();
}

TfrmTabePreco *TransferTest::openScreen()
{
    return test::openOnBranch(QStringLiteral("0001"));
}

// Shown without its own event loop, so that the test drives it; everything
// else is as the creator does it.
template <class Form> Form *TransferTest::openDialog()
{
    Form *dialog = nullptr;
    if (!runUserAction([&] { dialog = package::buildDialog<Form>(); }))
        return nullptr;
    dialog->show();
    if (!QTest::qWaitForWindowActive(dialog))
        return nullptr;
    return dialog;
}

void TransferTest::fillOneBranch(TfrmImportaTabela *d, const QString &branch, const QString &table,
                                 bool newTable, const QString &name)
{
    d->edtTabelaOrig->setText(QStringLiteral("001"));
    d->edtFilialDest->setText(branch);
    d->ckbNovaTab->setChecked(newTable);
    d->edtTabelaDest->setText(table);
    if (newTable)
        d->edtNmTabelaDest->setText(name);
}

void TransferTest::originBranchEntry()
{
    QVERIFY(openScreen());
    auto *d = openDialog<TfrmImportaTabela>();
    QVERIFY(d);
    QCOMPARE(d->edtFilialOrig->text(), QStringLiteral("0001"));
    QTRY_VERIFY(d->edtFilialOrig->hasFocus());
    d->edtFilialOrig->selectAll();
    QTest::keyClicks(d->edtFilialOrig, QStringLiteral("aÇ2"));
    QCOMPARE(d->edtFilialOrig->text(), QStringLiteral("Ç2"));
    d->edtFilialOrig->clear();
    d->edtTabelaOrig->setText(QStringLiteral("001"));
    d->stListaFilial = QStringLiteral("_0002      ");
    QTest::keyClicks(d->edtFilialOrig, QStringLiteral("2"));
    QVERIFY(d->edtTabelaOrig->text().isEmpty());
    QVERIFY(d->stListaFilial.isEmpty());
    QTest::keyClick(d->edtFilialOrig, Qt::Key_Tab);
    QCOMPARE(d->edtFilialOrig->text(), QStringLiteral("0002"));
    QVERIFY(!d->edtNmFilialOrig->text().isEmpty());
    QCOMPARE(m_ui->errors(), QStringList());

    d->edtFilialOrig->setFocus();
    QTRY_VERIFY(d->edtFilialOrig->hasFocus());
    d->edtFilialOrig->selectAll();
    QTest::keyClicks(d->edtFilialOrig, QStringLiteral("99"));
    QTest::keyClick(d->edtFilialOrig, Qt::Key_Tab);
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Filial não cadastrada.")});
    QTRY_VERIFY(d->edtFilialOrig->hasFocus());
    QVERIFY(test::grabScreenshot(d, m_shots + QStringLiteral("/exportar_tabela.png")));
}

void TransferTest::modesAndActivation()
{
    QVERIFY(openScreen());
    auto *d = openDialog<TfrmImportaTabela>();
    QVERIFY(d);
    QVERIFY(d->chbDestino->isChecked());
    QVERIFY(d->edtFilialDest->isEnabled() && !d->btnFilial->isEnabled());
    d->chbDestino->setChecked(false);
    QVERIFY(d->chbDestinoFiliais->isChecked());
    QVERIFY(!d->edtFilialDest->isEnabled() && d->btnFilial->isEnabled());
    QVERIFY(!d->btnProduto->isEnabled());
    d->rbtListaProduto->setChecked(true);
    QVERIFY(d->btnProduto->isEnabled());
    d->edtTabelaOrig->setText(QStringLiteral("002"));
    QVERIFY(test::grabScreenshot(d, m_shots + QStringLiteral("/exportar_varias_filiais.png")));

    // The window is activated again, as after any message box.
    QEvent off(QEvent::WindowDeactivate), on(QEvent::WindowActivate);
    QApplication::sendEvent(d, &off);
    QApplication::sendEvent(d, &on);
    QVERIFY(d->chbDestinoFiliais->isChecked());
    QVERIFY(!d->chbDestino->isChecked());
    QCOMPARE(d->edtTabelaOrig->text(), QStringLiteral("002"));

    d->chbDestinoFiliais->setChecked(false);
    QVERIFY(d->chbDestino->isChecked());
    QVERIFY(d->edtFilialDest->isEnabled() && !d->btnFilial->isEnabled());
}

void TransferTest::exportRefusals_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("newTable");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode"); // 0 all products, 1 product list, 2 several branches
    QTest::addColumn<QString>("message");
    QTest::newRow("own table") << "0001"
                               << "001" << false << "" << 0
                               << "Tabela destino deve ser diferente da tabela origem.";
    QTest::newRow("new table, code in use")
        << "0002"
        << "001" << true << "Nova" << 0 << "Tabela já cadastrada para a filial informada.";
    QTest::newRow("new table without name")
        << "0002"
        << "077" << true << "" << 0 << "Nome deve ser informado.";
    QTest::newRow("unknown table")
        << "0002"
        << "077" << false << "" << 0 << "Tabela não cadastrada para a filial informada.";
    QTest::newRow("list without products")
        << "0002"
        << "001" << false << "" << 1 << "Não há produto selecionado.";
    QTest::newRow("several branches, none picked")
        << ""
        << "" << false << "" << 2 << "Filial de destino deve ser informada.";
}

void TransferTest::exportRefusals()
{
    QFETCH(QString, branch);
    QFETCH(QString, table);
    QFETCH(bool, newTable);
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(QString, message);
    QVERIFY(openScreen());
    auto *d = openDialog<TfrmImportaTabela>();
    QVERIFY(d);
    if (mode == 2) {
        d->edtTabelaOrig->setText(QStringLiteral("001"));
        d->chbDestinoFiliais->setChecked(true);
    } else {
        fillOneBranch(d, branch, table, newTable, name);
        if (mode == 1)
            d->rbtListaProd->setChecked(true);
    }
    m_proxy.clearCalls();
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QVERIFY(!m_proxy.calls().contains(QStringLiteral("setConfirmar")));
    QVERIFY(!m_proxy.calls().contains(QStringLiteral("setConfirmar2")));
    QVERIFY(d->isVisible());
}

void TransferTest::exportToNewTable()
{
    TfrmTabePreco *form = openScreen();
    QVERIFY(form);
    QPointer<TfrmImportaTabela> d = openDialog<TfrmImportaTabela>();
    QVERIFY(d);
    fillOneBranch(d, QStringLiteral("0002"), QStringLiteral("077"), true,
                  QStringLiteral("Exportada"));
    const QString question = QStringLiteral("Confirma a exportação da tabela de preços?");
    m_ui->answerQuestion(MsgNo, question);
    m_proxy.clearCalls();
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QVERIFY(!m_proxy.calls().contains(QStringLiteral("setConfirmar")));
    QCOMPARE(d->edtNmTabelaDest->text(), QStringLiteral("Exportada"));
    QVERIFY(d->isVisible());

    m_ui->answerQuestion(MsgYes, question);
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->lastText(), QStringLiteral("A exportação foi realizada com sucesso."));
    QTRY_VERIFY(d.isNull());
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("setConfirmar")),
             (QVariantList{true, "0002", "077", "Exportada", "0001", "001", "", "T"}));
    // The screen reloaded its tables after the export.
    const QStringList calls = m_proxy.calls();
    QVERIFY(calls.lastIndexOf(QStringLiteral("GetTabePrec")) >
            calls.indexOf(QStringLiteral("setConfirmar")));
    for (const char *table : {"TABEPREC", "TABEVEND", "ITEMPRECO", "ITEMPRECODIA"})
        QVERIFY(HostState::instance().changedTables().contains(QLatin1String(table)));
    QCOMPARE(value("SELECT COUNT(*) FROM TABEVEND WHERE CDFILIAL = '0002' AND CDTABEPREC = '077'")
                 .toInt(),
             3);
    QVERIFY(value("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0002' AND CDTABEPREC = '077'")
                .toInt() > 0);
}

void TransferTest::exportToSeveralBranches()
{
    QVERIFY(openScreen());
    QPointer<TfrmImportaTabela> d = openDialog<TfrmImportaTabela>();
    QVERIFY(d);
    d->edtTabelaOrig->setText(QStringLiteral("001"));
    d->chbDestinoFiliais->setChecked(true);
    d->rbtListaProduto->setChecked(true);
    m_ui->answerList(QStringLiteral("_0002      "));
    QTest::mouseClick(d->btnFilial, Qt::LeftButton);
    QCOMPARE(d->stListaFilial, QStringLiteral("_0002      "));
    m_ui->answerList(QStringLiteral("_9900000001"));
    QTest::mouseClick(d->btnProduto, Qt::LeftButton);
    QCOMPARE(m_ui->searchTitles(), (QStringList{"Filial", "Produto"}));
    QVERIFY(d->cdsProduto->locate(u"CDPRODUTO", QStringLiteral("9900000001")));
    QCOMPARE(d->cdsProduto->fieldByName(u"CDARVPROD").asString(),
             QStringLiteral("0101999900001234"));

    m_ui->answerQuestion(MsgYes, QStringLiteral("Os produtos selecionados terão seus preços "
                                                "sobrepostos nas tabelas vigentes das filiais de "
                                                "destino. Deseja continuar?"));
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QTRY_VERIFY(d.isNull());
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("setConfirmar2")),
             (QVariantList{"0001", "001", "_0002      ", "_9900000001", true}));
    QCOMPARE(value(QStringLiteral("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDFILIAL = '0002' AND "
                                  "CDTABEPREC = '001' AND CDPRODUTO = '9900000001'"))
                 .toDouble(),
             5.5);
}

void TransferTest::importNeedsPeriod()
{
    TfrmTabePreco *form = openScreen();
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("050")));
    QTRY_VERIFY(form->cdsTabeVend->isEmpty());
    QVERIFY(!runUserAction([] { Cli_prx51702::CriaImportaVigencia(); }));
    QCOMPARE(m_ui->errors().size(), 1);
    QVERIFY(m_ui->errors().first().contains(QStringLiteral("período de vigência")));
    QVERIFY(!Cli_prx51702::frmImportaVigencia);
}

void TransferTest::importOriginChecks()
{
    TfrmTabePreco *form = openScreen();
    QVERIFY(form);
    QVERIFY(form->cdsTabeVend->locate(u"DTINIVGPREC", day(-30)));
    auto *d = openDialog<TfrmImportaVigencia>();
    QVERIFY(d);
    QCOMPARE(d->edtCdTabePrec->text(), QStringLiteral("001"));
    QCOMPARE(d->depDtIniDest->date(), day(-30).date());
    QVERIFY(test::grabScreenshot(d, m_shots + QStringLiteral("/importar_vigencia.png")));

    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Vigência de origem deve ser informada.")});

    // The destination's own start is not an origin.
    m_ui->clearRecord();
    d->depDtIniOrig->lineEdit()->setFocus();
    QTRY_VERIFY(d->depDtIniOrig->lineEdit()->hasFocus());
    d->depDtIniOrig->lineEdit()->setCursorPosition(0);
    QTest::keyClicks(d->depDtIniOrig->lineEdit(), shown(day(-30)).remove(u'/'));
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Vigência de origem não cadastrada.")});

    // The search lists the other periods with their situation and fills both
    // dates.
    m_ui->clearRecord();
    m_ui->chooseRow(QStringLiteral("DTINIVGPREC"), day(30));
    QTest::mouseClick(d->btpVigOrigem, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(d->qryTabeVend->recordCount(), 2);
    // "Every period" binds a date-time that matches no start, never a number:
    // PostgreSQL refuses to compare a number with a date.
    QCOMPARE(d->qryTabeVend->param(QStringLiteral("P_DTINIVGPREC")).typeId(),
             int(QMetaType::QDateTime));
    QCOMPARE(d->depDtIniOrig->date(), day(30).date());
    QCOMPARE(d->depDtFinOrig->date(), day(119).date());
    QVERIFY(d->qryTabeVend->locate(u"DTINIVGPREC", day(-90)));
    QCOMPARE(d->qryTabeVend->fieldByName(u"SITUACAO").asString(), QStringLiteral("Inativa"));
}

void TransferTest::importQuestion_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("answer"); // 0: no question expected
    QTest::newRow("prices there, no") << "002" << int(MsgNo);
    QTest::newRow("prices there, yes") << "002" << int(MsgYes);
    QTest::newRow("no prices there") << "003" << 0;
}

void TransferTest::importQuestion()
{
    QFETCH(QString, table);
    QFETCH(int, answer);
    if (answer == 0) {
        QVERIFY(exec(QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
                                    "CDTABEPREC = '%1'")
                         .arg(table)));
        QVERIFY(exec(QStringLiteral("DELETE FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                                    "CDTABEPREC = '%1' AND DTINIVGPREC > '%2'")
                         .arg(table, day(0).toString(QStringLiteral("yyyy-MM-dd")))));
    }
    TfrmTabePreco *form = openScreen();
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", table));
    QTRY_VERIFY(form->cdsTabeVend->locate(u"DTINIVGPREC", day(30)));
    QPointer<TfrmImportaVigencia> d = openDialog<TfrmImportaVigencia>();
    QVERIFY(d);
    m_ui->chooseRow(QStringLiteral("DTINIVGPREC"), day(-30));
    QTest::mouseClick(d->btpVigOrigem, Qt::LeftButton);
    if (answer != 0) {
        m_ui->answerQuestion(answer, QStringLiteral("Existem preços cadastrados para o período "
                                                    "de vigência de destino (%1 a %2). Deseja "
                                                    "sobescrever os preços?")
                                         .arg(shown(day(30)), shown(day(119))));
    }
    m_proxy.clearCalls();
    QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    if (answer == MsgNo) {
        QVERIFY(!m_proxy.calls().contains(QStringLiteral("SetImportaVigencia")));
        QVERIFY(d->isVisible());
        return;
    }
    QTRY_VERIFY(d.isNull());
    QCOMPARE(m_ui->lastText(), QStringLiteral("A importação foi realizada com sucesso."));
    QCOMPARE(m_ui->busyTexts().contains(QStringLiteral("Importando vigência no servidor...")),
             true);
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("SetImportaVigencia")).value(5).toBool(),
             answer == MsgYes);
    // Every product of the origin arrived with the origin's price.
    const QString origin = day(-30).toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    const QString target = day(30).toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
    QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO O JOIN ITEMPRECO D ON "
                                  "D.CDFILIAL = O.CDFILIAL AND D.CDTABEPREC = O.CDTABEPREC AND "
                                  "D.CDPRODUTO = O.CDPRODUTO AND D.CDPRPAITABPR = O.CDPRPAITABPR "
                                  "AND D.DTINIVGPREC = '%1' AND D.VRPRECITEM = O.VRPRECITEM "
                                  "WHERE O.CDFILIAL = '0001' AND O.CDTABEPREC = '%2' AND "
                                  "O.DTINIVGPREC = '%3'")
                       .arg(target, table, origin))
                 .toInt(),
             value(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                                  "CDTABEPREC = '%1' AND DTINIVGPREC = '%2'")
                       .arg(table, origin))
                 .toInt());
}

QTEST_MAIN(TransferTest)

#include "tst_transfer.moc"
