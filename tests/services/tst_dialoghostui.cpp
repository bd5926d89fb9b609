#include "GuiHelpers.h"
#include "dataset/Abort.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "services/BusyIndicator.h"
#include "services/DialogHostUi.h"
#include "services/UserAction.h"
#include "widgets/SearchWindow.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace prx;
using namespace prx::test;

class DialogHostUiTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Nested busy requests must keep the veil up until the last one ends,
    // show the innermost text, and an extra off must not leave a negative
    // count that swallows the next on.
    void busyNesting();
    // The veil must go away when the work inside a busy scope fails.
    void busyScopeOnFailure();
    // The animation must keep turning and painting while a server call waits
    // in a local loop that takes no user input.
    void busyAnimatesDuringLocalLoop();
    // The veil covers the main window and follows its size.
    void busyCoversMainWindow();
    // Boxes speak Portuguese, return the button pressed, treat Esc as the
    // cautious answer, and hide the busy veil while they are up.
    void questionBox();
    void escapeIsCautious();
    // A server error must reach the user in the error box, and the command
    // must stop.
    void serverErrorsShowInErrorBox();
    // The search goes to the real search window and a cancel chooses nothing.
    void searchDelegatesToSearchWindow();

private:
    QWidget *m_window = nullptr;
};

void DialogHostUiTest::init()
{
    m_window = new QWidget;
    m_window->resize(640, 480);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void DialogHostUiTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void DialogHostUiTest::busyNesting()
{
    DialogHostUi ui(m_window);
    ui.install();
    BusyIndicator *busy = ui.busyIndicator();

    ActiveShowAvi(m_window, 6);
    QVERIFY(busy->isVisible());
    QCOMPARE(busy->text(), QStringLiteral("Aguarde..."));
    ActiveShowAvi(m_window, 1, QStringLiteral("Gravando preços..."));
    QCOMPARE(ui.busyDepth(), 2);
    QCOMPARE(busy->text(), QStringLiteral("Gravando preços..."));
    DeactiveShowAvi();
    QVERIFY(busy->isVisible());
    QCOMPARE(busy->text(), QStringLiteral("Aguarde..."));
    DeactiveShowAvi();
    QVERIFY(!busy->isVisible());
    QCOMPARE(ui.busyDepth(), 0);

    DeactiveShowAvi(); // one too many
    QCOMPARE(ui.busyDepth(), 0);
    ActiveShowAvi(m_window, 6);
    QVERIFY(busy->isVisible());
    DeactiveShowAvi();
    QVERIFY(!busy->isVisible());

    // Replacing the main window keeps what is still open balanced.
    ActiveShowAvi(m_window, 1, QStringLiteral("Importando..."));
    QWidget other;
    other.show();
    ui.setMainWindow(&other);
    QCOMPARE(ui.busyDepth(), 1);
    QCOMPARE(ui.busyIndicator()->parentWidget(), &other);
    QCOMPARE(ui.busyIndicator()->text(), QStringLiteral("Importando..."));
    DeactiveShowAvi();
    QCOMPARE(ui.busyDepth(), 0);
    ui.setMainWindow(m_window);
}

void DialogHostUiTest::busyScopeOnFailure()
{
    DialogHostUi ui(m_window);
    ui.install();
    const bool finished = runUserAction([] {
        BusyScope outer(6);
        BusyScope inner(1, QStringLiteral("Calculando..."));
        throw Abort();
    });
    QVERIFY(!finished);
    QCOMPARE(ui.busyDepth(), 0);
    QVERIFY(!ui.busyIndicator()->isVisible());
}

void DialogHostUiTest::busyAnimatesDuringLocalLoop()
{
    DialogHostUi ui(m_window);
    ui.install();
    BusyIndicator *busy = ui.busyIndicator();
    BusyScope scope(6);
    const qint64 steps = busy->steps();
    const qint64 paints = busy->paints();
    QEventLoop loop;
    QTimer::singleShot(600, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QVERIFY2(busy->steps() - steps >= 3, qPrintable(QString::number(busy->steps() - steps)));
    QVERIFY2(busy->paints() - paints >= 2, qPrintable(QString::number(busy->paints() - paints)));
}

void DialogHostUiTest::busyCoversMainWindow()
{
    DialogHostUi ui(m_window);
    ui.install();
    BusyScope scope(6);
    BusyIndicator *busy = ui.busyIndicator();
    QCOMPARE(busy->geometry(), m_window->rect());
    m_window->resize(800, 600);
    QTRY_COMPARE(busy->geometry(), m_window->rect());
    QString saved;
    QVERIFY(grabScreenshot(m_window, QStringLiteral("prx-busy.png"), &saved));
    QVERIFY(QFile::exists(saved));
}

void DialogHostUiTest::questionBox()
{
    DialogHostUi ui(m_window);
    ui.install();
    BusyScope scope(6);
    QStringList buttons;
    QString title;
    bool veilHidden = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        veilHidden = !ui.busyIndicator()->isVisible();
        box->findChild<QPushButton *>(QStringLiteral("btnNao"))->click();
    });
    const int answer =
        ui.messageBox(QStringLiteral("Confirma exclusão?"), MsgKind::Confirmation, {MsgYes, MsgNo});
    QCOMPARE(answer, int(MsgNo));
    QCOMPARE(title, QStringLiteral("Confirmação"));
    QCOMPARE(icon, QMessageBox::Question);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("Não"), QStringLiteral("Sim")}));
    QVERIFY(veilHidden);
    QVERIFY(ui.busyIndicator()->isVisible()); // back once the box closed

    onNextModal(
        [](QWidget *modal) { modal->findChild<QPushButton *>(QStringLiteral("btnSim"))->click(); });
    QCOMPARE(
        ui.messageBox(QStringLiteral("Cancelar operação?"), MsgKind::Confirmation, {MsgYes, MsgNo}),
        int(MsgYes));
}

void DialogHostUiTest::escapeIsCautious()
{
    DialogHostUi ui(m_window);
    ui.install();
    for (const QList<int> &buttons :
         {QList<int>{MsgYes, MsgNo}, QList<int>{MsgOk, MsgCancel}, QList<int>{MsgOk}}) {
        QStringList texts;
        onNextModal([&](QWidget *modal) {
            for (QAbstractButton *b : qobject_cast<QMessageBox *>(modal)->buttons())
                texts << b->text();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        const int answer = ui.messageBox(QStringLiteral("Texto"), MsgKind::Warning, buttons);
        QCOMPARE(answer, buttons.size() == 1 ? buttons.first() : buttons.last());
        QCOMPARE(texts.size(), buttons.size());
        for (int b : buttons)
            QVERIFY(texts.contains(DialogHostUi::buttonText(b)));
    }
}

void DialogHostUiTest::serverErrorsShowInErrorBox()
{
    QString shown;
    QString title;
    {
        DialogHostUi ui(m_window);
        ui.install();
        QCOMPARE(&HostUi::instance(), &ui);
        ServerResult failed;
        failed.code = 7;
        failed.message = QStringLiteral("Tabela de preço já cadastrada.");
        onNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            shown = box->text();
            title = box->windowTitle();
            box->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
        });
        QVERIFY_THROWS_EXCEPTION(Abort, CheckResultServ(failed, true));
    }
    QCOMPARE(shown, QStringLiteral("Tabela de preço já cadastrada."));
    QCOMPARE(title, QStringLiteral("Erro"));
    // Once the dialogs are gone, nothing may still point at them.
    QVERIFY(dynamic_cast<DialogHostUi *>(&HostUi::instance()) == nullptr);
    ServerResult failed;
    failed.message = QStringLiteral("depois");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("depois")));
    QVERIFY(!CheckResultServ(failed, false).isValid());
}

void DialogHostUiTest::searchDelegatesToSearchWindow()
{
    DialogHostUi ui(m_window);
    ui.install();
    ClientDataSet ds;
    ds.addField(QStringLiteral("CDTIPOCONS"), FieldType::String, 2);
    ds.addField(QStringLiteral("NMTIPOCONS"), FieldType::String, 20);
    ds.createDataSet();
    ds.appendRecord({QStringLiteral("01"), QStringLiteral("Balcão")});
    ds.appendRecord({QStringLiteral("02"), QStringLiteral("Funcionário")});
    DataSource source(&ds);

    QString windowClass;
    onNextModal([&](QWidget *modal) {
        windowClass = QString::fromLatin1(modal->metaObject()->className());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QVERIFY(
        !ui.pesquisar(source, QStringLiteral("Tipo Consumidor|Tipo Consumidor não cadastrado.")));
    QCOMPARE(windowClass, QStringLiteral("prx::SearchWindow"));
}

QTEST_MAIN(DialogHostUiTest)
#include "tst_dialoghostui.moc"
