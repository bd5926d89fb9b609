#include "GuiHelpers.h"
#include "dataset/Abort.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "net/Wire.h"
#include "services/BusyIndicator.h"
#include "services/DialogHostUi.h"
#include "services/UserAction.h"
#include "widgets/SearchWindow.h"

#include <QAction>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace prx;
using namespace prx::test;

namespace {

// A server that answers every call late, as one busy with a long reload;
// it runs on the test's own event loop, which the call's wait keeps going.
class SlowServer : public QObject
{
public:
    explicit SlowServer(int delayMs) : m_delayMs(delayMs)
    {
        m_listener.listen(QHostAddress::LocalHost);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_buffer.append(socket->readAll());
                QByteArray body;
                while (wire::takeFrame(m_buffer, &body) == wire::FrameStatus::Ready) {
                    wire::Request request;
                    QString error;
                    if (!wire::decodeRequest(body, &request, &error))
                        continue;
                    QTimer::singleShot(m_delayMs, socket, [socket, id = request.id] {
                        wire::Answer answer;
                        answer.id = id;
                        answer.ok = true;
                        answer.payload = true;
                        socket->write(wire::encodeAnswer(answer));
                    });
                }
            });
        });
    }
    quint16 port() const { return m_listener.serverPort(); }

private:
    QTcpServer m_listener;
    QByteArray m_buffer;
    int m_delayMs;
};

} // namespace

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
    // Work started from a modal dialog was waited for behind the dialog:
    // the veil must be in front of the dialog, on top of its controls, and
    // must survive the dialog closing or being deleted while the work goes on.
    void busyCoversModalDialog();
    // A click, a shortcut or a key made while a call waits under the veil
    // was carried out once the call ended, on a screen that had changed:
    // input during the busy time is dropped, and taken again afterwards.
    void inputDuringBusyIsDropped_data();
    void inputDuringBusyIsDropped();
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

void DialogHostUiTest::busyCoversModalDialog()
{
    DialogHostUi ui(m_window);
    ui.install();
    auto *dialog = new QDialog(m_window);
    dialog->setWindowTitle(QStringLiteral("Cálculo de Preços"));
    dialog->resize(420, 260);
    auto *confirm = new QPushButton(QStringLiteral("Confirmar"), dialog);
    confirm->setGeometry(150, 110, 120, 40);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    BusyIndicator *busy = ui.busyIndicator();
    {
        BusyScope scope(1, QStringLiteral("Calculando preço no servidor..."));
        QVERIFY(busy->isVisible());
        QCOMPARE(busy->window(), dialog);
        QCOMPARE(busy->geometry(), dialog->rect());
        QCOMPARE(dialog->childAt(confirm->geometry().center()), busy); // on top of the controls
        QVERIFY(busy->paints() > 0);
        QString saved;
        QVERIFY(grabScreenshot(dialog, QStringLiteral("prx-busy-dialog.png"), &saved));
        qInfo("%s", qPrintable(saved));

        // The dialog goes away while the work goes on: the veil moves to the
        // main window instead of going down with the dialog.
        dialog->hide();
        QVERIFY(busy->isVisible());
        QCOMPARE(busy->window(), m_window);
        dialog->show();
        BusyScope inner(6);
        QCOMPARE(busy->window(), dialog);
        delete dialog;
        QCOMPARE(ui.busyIndicator(), busy);
        QCOMPARE(busy->window(), m_window);
        QCOMPARE(ui.busyDepth(), 2);
    }
    QVERIFY(!busy->isVisible());
}

void DialogHostUiTest::inputDuringBusyIsDropped_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("clique na aba") << QStringLiteral("click");
    QTest::newRow("atalho") << QStringLiteral("shortcut");
    QTest::newRow("digitação") << QStringLiteral("typing");
}

void DialogHostUiTest::inputDuringBusyIsDropped()
{
    QFETCH(QString, input);
    DialogHostUi ui(m_window);
    ui.install();
    // A screen of its own beside the main window the veil covers, so that
    // what reaches it is what the filter lets through.
    QTabWidget tabs;
    tabs.addTab(new QLineEdit, QStringLiteral("Tabelas"));
    tabs.addTab(new QWidget, QStringLiteral("Itens"));
    tabs.resize(400, 300);
    tabs.show();
    auto *edit = qobject_cast<QLineEdit *>(tabs.widget(0));
    int refreshes = 0;
    auto *refresh = new QAction(&tabs);
    refresh->setShortcut(Qt::Key_F5);
    refresh->setShortcutContext(Qt::ApplicationShortcut);
    tabs.addAction(refresh);
    connect(refresh, &QAction::triggered, &tabs, [&refreshes] { ++refreshes; });
    tabs.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&tabs));
    edit->setFocus();

    // Through the window, as the window system hands input to the program.
    QWindow *window = tabs.windowHandle();
    const QPoint tab = tabs.tabBar()->mapTo(&tabs, tabs.tabBar()->tabRect(1).center());
    const auto user = [&] {
        if (input == QLatin1String("click"))
            QTest::mouseClick(window, Qt::LeftButton, {}, tab);
        else if (input == QLatin1String("shortcut"))
            QTest::keyClick(window, Qt::Key_F5);
        else
            QTest::keyClick(window, Qt::Key_7);
    };
    const auto acted = [&] {
        return tabs.currentIndex() == 1 || refreshes > 0 || !edit->text().isEmpty();
    };

    SlowServer server(400);
    NetConnection net;
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(server.port());
    QTimer::singleShot(150, m_window, user);
    {
        BusyScope busy(6);
        QVERIFY(net.call(QStringLiteral("GetItemPreco"), {}).ok);
    }
    QTest::qWait(50);
    QVERIFY(!acted());
    QVERIFY(ui.busyIndicator()->inputBlocker().dropped() > 0);
    QVERIFY(!ui.busyIndicator()->inputBlocker().isActive());

    user();
    QVERIFY(acted());
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
