#include "ScriptedHostUi.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "services/Messages.h"
#include "services/UserAction.h"

#include <QTest>

using namespace prx;
using prx::test::ScriptedHostUi;

class ScriptedHostUiTest : public QObject
{
    Q_OBJECT

private slots:
    // Answers are given in the order scripted, each to its own kind of
    // interaction, and everything shown is recorded with its kind and buttons.
    void answersInOrder();
    // An unscripted question, or a scripted answer of the wrong kind, is a
    // test failure and gets the cautious answer; the script is not consumed.
    void unexpectedInteractions();
    // An answer the interaction cannot take is reported, not bent to fit.
    void answersThatDoNotFit();
    // Busy on/off are counted so that an unbalanced pair is visible.
    void busyCounting();
    // Server errors land in the error box, as in the host.
    void serverErrors();

private:
    static void fill(ClientDataSet &ds);
};

void ScriptedHostUiTest::fill(ClientDataSet &ds)
{
    ds.addField(QStringLiteral("CDFILIAL"), FieldType::String, 4);
    ds.addField(QStringLiteral("NMFILIAL"), FieldType::String, 30);
    ds.createDataSet();
    ds.appendRecord({QStringLiteral("0001"), QStringLiteral("Restaurante Centro")});
    ds.appendRecord({QStringLiteral("0002"), QStringLiteral("Loja Shopping Iguatemi")});
    ds.appendRecord({QStringLiteral("0003"), QStringLiteral("Quiosque Praia")});
    ds.first();
}

void ScriptedHostUiTest::answersInOrder()
{
    ScriptedHostUi ui;
    ClientDataSet ds;
    fill(ds);
    DataSource source(&ds);
    const TMessages msg(
        {QStringLiteral("Excl|Confirma exclusão?"), QStringLiteral("Canc|Cancelar operação?")});

    ui.answerQuestion(MsgYes, QStringLiteral("exclusão"));
    ui.chooseRow(QStringLiteral("CDFILIAL"), QStringLiteral("0003"));
    ui.answerList(QStringLiteral("_0001      _0002      "));
    ui.chooseRowAt(1);
    ui.cancelSearch();
    ui.answerQuestion(MsgNo);
    ui.findRow(QStringLiteral("NMFILIAL"), QStringLiteral("Restaurante Centro"));
    QCOMPARE(ui.pendingAnswers(), 7);

    HostUi &host = HostUi::instance();
    QCOMPARE(msg.ShowMsg(QStringLiteral("EXCL"), MsgKind::Confirmation, {MsgYes, MsgNo}),
             int(MsgYes));
    QVERIFY(host.pesquisar(source, QStringLiteral("Filial")));
    QCOMPARE(ds.fieldByName(u"NMFILIAL").asString(), QStringLiteral("Quiosque Praia"));
    host.messageBox(QStringLiteral("Informação sem pergunta."), MsgKind::Information, {MsgOk});
    QString list;
    QVERIFY(
        host.pesquisaLista(source, QStringLiteral("CDFILIAL"), QStringLiteral("Filiais"), &list));
    QCOMPARE(list, QStringLiteral("_0001      _0002      "));
    QVERIFY(host.pesquisar(source, QStringLiteral("Filial")));
    QCOMPARE(ds.currentRow(), 1);
    QVERIFY(!host.pesquisar(source, QStringLiteral("Filial")));
    QCOMPARE(ds.currentRow(), 1); // a cancel leaves the row alone
    QCOMPARE(msg.ShowMsg(QStringLiteral("Canc"), MsgKind::Confirmation, {MsgYes, MsgNo}),
             int(MsgNo));
    host.procura(ds);
    QCOMPARE(ds.currentRow(), 0);
    MensErro(QStringLiteral("Filial não cadastrada."), false);

    QCOMPARE(ui.pendingAnswers(), 0);
    QVERIFY(ui.unexpected().isEmpty());
    QCOMPARE(ui.texts(), (QStringList{QStringLiteral("Confirma exclusão?"),
                                      QStringLiteral("Informação sem pergunta."),
                                      QStringLiteral("Cancelar operação?"),
                                      QStringLiteral("Filial não cadastrada.")}));
    QCOMPARE(ui.messages().at(0).kind, MsgKind::Confirmation);
    QCOMPARE(ui.messages().at(0).buttons, (QList<int>{MsgYes, MsgNo}));
    QCOMPARE(ui.messages().at(2).answer, int(MsgNo));
    QCOMPARE(ui.errors(), QStringList{QStringLiteral("Filial não cadastrada.")});
    QCOMPARE(ui.searchTitles().size(), 4);
}

void ScriptedHostUiTest::unexpectedInteractions()
{
    ScriptedHostUi ui;
    ui.setFailOnUnexpected(false);
    ClientDataSet ds;
    fill(ds);
    DataSource source(&ds);

    QCOMPARE(ui.messageBox(QStringLiteral("Confirma?"), MsgKind::Confirmation, {MsgYes, MsgNo}),
             int(MsgNo));
    QCOMPARE(ui.messageBox(QStringLiteral("Continua?"), MsgKind::Warning, {MsgOk, MsgCancel}),
             int(MsgCancel));
    QCOMPARE(ui.unexpected().size(), 2);

    ui.chooseRowAt(2);
    QCOMPARE(ui.messageBox(QStringLiteral("Grava?"), MsgKind::Confirmation, {MsgYes, MsgNo}),
             int(MsgNo));
    QCOMPARE(ui.unexpected().size(), 3);
    QVERIFY(ui.unexpected().last().contains(QStringLiteral("esperava pesquisa")));
    QCOMPARE(ui.pendingAnswers(), 1); // still there for the search it was meant for
    QVERIFY(ui.pesquisar(source, QStringLiteral("Filial")));
    QCOMPARE(ds.currentRow(), 2);

    QString list = QStringLiteral("antes");
    QVERIFY(
        !ui.pesquisaLista(source, QStringLiteral("CDFILIAL"), QStringLiteral("Filiais"), &list));
    QCOMPARE(list, QStringLiteral("antes"));
    QCOMPARE(ui.unexpected().size(), 4);
}

void ScriptedHostUiTest::answersThatDoNotFit()
{
    ScriptedHostUi ui;
    ui.setFailOnUnexpected(false);
    ClientDataSet ds;
    fill(ds);
    DataSource source(&ds);

    ui.answerQuestion(MsgYes, QStringLiteral("exclusão"));
    QCOMPARE(
        ui.messageBox(QStringLiteral("Cancelar operação?"), MsgKind::Confirmation, {MsgYes, MsgNo}),
        int(MsgNo));
    ui.answerQuestion(MsgYes);
    QCOMPARE(ui.messageBox(QStringLiteral("Continua?"), MsgKind::Warning, {MsgOk, MsgCancel}),
             int(MsgCancel));
    ui.chooseRow(QStringLiteral("CDFILIAL"), QStringLiteral("9999"));
    QVERIFY(!ui.pesquisar(source, QStringLiteral("Filial")));
    QCOMPARE(ds.currentRow(), 0);
    QCOMPARE(ui.unexpected().size(), 3);
    QCOMPARE(ui.pendingAnswers(), 0);
}

void ScriptedHostUiTest::busyCounting()
{
    ScriptedHostUi ui;
    {
        BusyScope a(6);
        BusyScope b(1, QStringLiteral("Gravando..."));
        QCOMPARE(ui.busyDepth(), 2);
    }
    QVERIFY(ui.busyBalanced());
    QCOMPARE(ui.busyKinds(), (QList<int>{6, 1}));
    QCOMPARE(ui.busyTexts().last(), QStringLiteral("Gravando..."));
    QCOMPARE(ui.maxBusyDepth(), 2);

    ActiveShowAvi(nullptr, 6);
    QVERIFY(!ui.busyBalanced());
    DeactiveShowAvi();
    DeactiveShowAvi(); // an off without its on
    QVERIFY(!ui.busyBalanced());
    QCOMPARE(ui.busyDepth(), 0);
}

void ScriptedHostUiTest::serverErrors()
{
    ServerResult failed;
    failed.code = 3;
    failed.message = QStringLiteral("Data inicial de vigência já cadastrada.");
    {
        ScriptedHostUi ui;
        QVERIFY(!runUserAction([&] { CheckResultServ(failed, true); }));
        QCOMPARE(ui.errors(), QStringList{failed.message});
    }
    // Gone with the script: the default logs instead.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("vigência")));
    CheckResultServ(failed, false);
}

QTEST_GUILESS_MAIN(ScriptedHostUiTest)
#include "tst_scriptedhostui.moc"
