#include "ScriptedHostUi.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSetError.h"
#include "services/Controls.h"
#include "services/FieldInput.h"
#include "services/HostConfig.h"
#include "services/HostServices.h"
#include "services/HostState.h"
#include "services/ModuleLoader.h"
#include "services/UserAction.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace prx;
using prx::test::ScriptedHostUi;

class HostServicesTest : public QObject
{
    Q_OBJECT

private slots:
    // A typed date must be stored as that calendar day, a masked text with
    // nothing typed must clear the field, and an impossible date must be
    // refused with its message instead of being stored or shifted.
    void checkDateTime_data();
    void checkDateTime();
    // A refused date must leave the field's old value in place.
    void checkDateTimeKeepsOldValue();

    // Disabling a panel must reach controls nested in frames and tab pages,
    // and enabling it again must bring them all back.
    void setChildEnabled();
    // Focus must skip hidden and disabled controls and stay inside the
    // container asked for.
    void focusHelpers();
    // Unnamed or twice-named text controls break the translation keys.
    void tradFindsUnstableNames();

    // A missing module must say so in Portuguese and report failure.
    void loadMissingModule();
    // A name with a path must never reach the file system.
    void loadRefusesPathNames_data();
    void loadRefusesPathNames();
    // A module next to the program is found and its IniProc runs; a module
    // without IniProc just loads.
    void loadModuleRunsIniProc();
    // A failure inside IniProc must be shown and contained, never escape.
    void loadModuleContainsFailures();
    // A file that is not a library must be refused with the loader's reason.
    void loadBrokenModule();

    // The form must land in the host's workspace, and a second show must not
    // make a second window.
    void showMdiChildUsesHostHandler();

    // The command line must override the configuration file, and bad values
    // must be refused rather than silently replaced by defaults.
    void configFileAndOverrides();
    void configRejectsBadValues_data();
    void configRejectsBadValues();

private:
    static std::unique_ptr<ClientDataSet> dateDataSet();
};

std::unique_ptr<ClientDataSet> HostServicesTest::dateDataSet()
{
    auto ds = std::make_unique<ClientDataSet>();
    ds->addField(QStringLiteral("DTINIVALPREC"), FieldType::DateTime);
    ds->createDataSet();
    ds->append();
    return ds;
}

void HostServicesTest::checkDateTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored"); // invalid: null stored
    QTest::addColumn<QString>("error");

    QTest::newRow("valid") << "07/12/2026" << QDate(2026, 12, 7) << "";
    QTest::newRow("leap day") << "29/02/2028" << QDate(2028, 2, 29) << "";
    QTest::newRow("mask blanks around digits") << "_7/12/2026" << QDate(2026, 12, 7) << "";
    QTest::newRow("blank masked text") << "__/__/____" << QDate() << "";
    QTest::newRow("blank with spaces") << "  /  /    " << QDate() << "";
    QTest::newRow("empty") << "" << QDate() << "";
    QTest::newRow("invalid day") << "31/02/2026" << QDate()
                                 << "'31/02/2026' não é uma data válida.";
    QTest::newRow("not a leap year")
        << "29/02/2026" << QDate() << "'29/02/2026' não é uma data válida.";
    QTest::newRow("month 13") << "01/13/2026" << QDate() << "'01/13/2026' não é uma data válida.";
    QTest::newRow("half typed") << "12/__/2026" << QDate() << "'12/__/2026' não é uma data válida.";
    QTest::newRow("letters") << "ab/cd/efgh" << QDate() << "'ab/cd/efgh' não é uma data válida.";
}

void HostServicesTest::checkDateTime()
{
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    QFETCH(QString, error);

    ScriptedHostUi ui;
    auto ds = dateDataSet();
    Field &field = ds->fieldByName(u"DTINIVALPREC");
    const bool finished = runUserAction([&] { CheckDateTime(field, typed); });

    if (error.isEmpty()) {
        QVERIFY(finished);
        QVERIFY(ui.messages().isEmpty());
        if (stored.isValid()) {
            QCOMPARE(field.asDateTime().date(), stored);
            QCOMPARE(field.asDateTime().time(), QTime(0, 0));
        } else {
            QVERIFY(field.isNull());
        }
    } else {
        QVERIFY(!finished);
        QCOMPARE(ui.errors(), QStringList{error});
        QVERIFY(field.isNull());
    }
}

void HostServicesTest::checkDateTimeKeepsOldValue()
{
    ScriptedHostUi ui;
    auto ds = dateDataSet();
    Field &field = ds->fieldByName(u"DTINIVALPREC");
    QVERIFY(runUserAction([&] { CheckDateTime(field, QStringLiteral("01/03/2026")); }));
    QVERIFY(!runUserAction([&] { CheckDateTime(field, QStringLiteral("30/02/2026")); }));
    QCOMPARE(field.asDateTime().date(), QDate(2026, 3, 1));
    QCOMPARE(ui.errors().size(), 1);
}

void HostServicesTest::setChildEnabled()
{
    QWidget panel;
    auto *code = new QLineEdit(&panel);
    auto *frame = new QFrame(&panel);
    auto *nested = new QPushButton(QStringLiteral("Pesquisar"), frame);
    auto *tabs = new QTabWidget(&panel);
    auto *page = new QWidget;
    auto *onPage = new QCheckBox(QStringLiteral("Ativa"), page);
    tabs->addTab(page, QStringLiteral("Página"));
    auto *spin = new QSpinBox(&panel);

    SetChildEnabled(&panel, false);
    QVERIFY(!code->isEnabled());
    QVERIFY(!nested->isEnabled());
    QVERIFY(!onPage->isEnabled());
    QVERIFY(!spin->isEnabled());
    QVERIFY(panel.isEnabled());  // the container itself stays usable
    QVERIFY(frame->isEnabled()); // plain holders are looked into, not switched

    SetChildEnabled(&panel, true);
    QVERIFY(code->isEnabled());
    QVERIFY(nested->isEnabled());
    QVERIFY(onPage->isEnabled());
    QVERIFY(spin->isEnabled());
}

void HostServicesTest::focusHelpers()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *before = new QLineEdit(&window);
    auto *box = new QGroupBox(QStringLiteral("Filial"), &window);
    auto *boxLayout = new QVBoxLayout(box);
    auto *disabled = new QLineEdit(box);
    auto *hidden = new QLineEdit(box);
    auto *first = new QLineEdit(box);
    auto *second = new QLineEdit(box);
    for (QWidget *w : {static_cast<QWidget *>(disabled), static_cast<QWidget *>(hidden),
                       static_cast<QWidget *>(first), static_cast<QWidget *>(second)})
        boxLayout->addWidget(w);
    auto *after = new QLineEdit(&window);
    layout->addWidget(before);
    layout->addWidget(box);
    layout->addWidget(after);
    disabled->setEnabled(false);
    hidden->hide();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QVERIFY(SelectFirstControl(box));
    QCOMPARE(QApplication::focusWidget(), first);
    QVERIFY(SelectNextControl(first));
    QCOMPARE(QApplication::focusWidget(), second);
    QVERIFY(SelectNextControl(second));
    QCOMPARE(QApplication::focusWidget(), after);
    QVERIFY(SelectNextControl(after, false));
    QCOMPARE(QApplication::focusWidget(), second);

    QWidget empty;
    new QLabel(QStringLiteral("Nada"), &empty);
    QVERIFY(!SelectFirstControl(&empty));
}

void HostServicesTest::tradFindsUnstableNames()
{
    QWidget form;
    form.setObjectName(QStringLiteral("frmTeste"));
    auto *named = new QLabel(QStringLiteral("Filial"), &form);
    named->setObjectName(QStringLiteral("lblFilial"));
    auto *ok = new QPushButton(QStringLiteral("&OK"), &form);
    ok->setObjectName(QStringLiteral("btnOK"));
    new QLineEdit(&form); // no text: nothing to translate
    QVERIFY(Trad(&form).isEmpty());

    new QLabel(QStringLiteral("Sem nome"), &form);
    auto *twin = new QPushButton(QStringLiteral("Outro"), &form);
    twin->setObjectName(QStringLiteral("btnOK"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("sem nome")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("nome repetido: btnOK")));
    const QStringList problems = Trad(&form);
    QCOMPARE(problems.size(), 2);
    QVERIFY(problems.at(0).contains(QStringLiteral("Sem nome")));
    QVERIFY(problems.at(1).contains(QStringLiteral("btnOK")));
}

void HostServicesTest::loadMissingModule()
{
    ScriptedHostUi ui;
    QVERIFY(!LoadBPL(QStringLiteral("Prx59999")));
    QCOMPARE(ui.errors(), QStringList{QStringLiteral("Módulo Prx59999 não está instalado.")});
}

void HostServicesTest::loadRefusesPathNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent folder") << "../bin/PrxTesteModulo";
    QTest::newRow("absolute") << "/usr/lib/x86_64-linux-gnu/libc.so.6";
    QTest::newRow("file name") << "libPrxTesteModulo.so";
    QTest::newRow("empty") << "";
}

void HostServicesTest::loadRefusesPathNames()
{
    QFETCH(QString, name);
    ScriptedHostUi ui;
    QVERIFY(ModuleLoader::findFile(name).isEmpty());
    QVERIFY(!LoadBPL(name));
    QCOMPARE(ui.errors().size(), 1);
    QVERIFY(ui.lastText().startsWith(QStringLiteral("Nome de módulo inválido")));
}

void HostServicesTest::loadModuleRunsIniProc()
{
    ScriptedHostUi ui;
    QVERIFY2(!ModuleLoader::findFile(QStringLiteral("PrxTesteModulo")).isEmpty(),
             "o módulo de teste deve estar na pasta do programa");
    QVERIFY(LoadBPL(QStringLiteral("PrxTesteModulo")));
    QCOMPARE(ui.texts(), QStringList{QStringLiteral("Módulo de teste iniciado.")});
    // Names are matched without case, as modules are named both ways.
    QVERIFY(LoadBPL(QStringLiteral("PRXTESTEMODULO")));
    QCOMPARE(ui.texts().size(), 2);

    ui.clearRecord();
    QVERIFY(LoadBPL(QStringLiteral("prxdataset"))); // a library without IniProc
    QVERIFY(ui.messages().isEmpty());

    // The module's form reaches the host's workspace.
    QWidget workspace;
    QPointer<QWidget> shown;
    setMdiChildHandler([&](QWidget *form) {
        shown = form;
        form->setParent(&workspace);
        return &workspace;
    });
    qputenv("PRX_TEST_MODULE_SHOW", "1");
    const bool loaded = LoadBPL(QStringLiteral("PrxTesteModulo"));
    qunsetenv("PRX_TEST_MODULE_SHOW");
    setMdiChildHandler({});
    QVERIFY(loaded);
    QVERIFY(shown);
    QCOMPARE(shown->objectName(), QStringLiteral("frmTesteModulo"));
    QCOMPARE(shown->parentWidget(), &workspace);
}

void HostServicesTest::loadModuleContainsFailures()
{
    ScriptedHostUi ui;
    qputenv("PRX_TEST_MODULE_ABANDON", "1");
    const bool abandoned = LoadBPL(QStringLiteral("PrxTesteModulo"));
    qunsetenv("PRX_TEST_MODULE_ABANDON");
    QVERIFY(!abandoned);
    QCOMPARE(ui.errors(), QStringList{QStringLiteral("Falha ao criar a tela de teste.")});

    ui.clearRecord();
    qputenv("PRX_TEST_MODULE_THROW", "1");
    const bool thrown = LoadBPL(QStringLiteral("PrxTesteModulo"));
    qunsetenv("PRX_TEST_MODULE_THROW");
    QVERIFY(!thrown);
    QCOMPARE(ui.errors(), QStringList{QStringLiteral("Erro inesperado no módulo de teste.")});
}

void HostServicesTest::loadBrokenModule()
{
    ScriptedHostUi ui;
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("libPrxQuebrado.so")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("isto não é uma biblioteca");
    junk.close();
    ModuleLoader::setSearchPath({dir.path()});
    const bool loaded = LoadBPL(QStringLiteral("PrxQuebrado"));
    const bool other = LoadBPL(QStringLiteral("PrxTesteModulo")); // not in that folder
    ModuleLoader::setSearchPath({});
    QVERIFY(!loaded);
    QVERIFY(!other);
    QCOMPARE(ui.errors().size(), 2);
    QVERIFY(ui.errors().at(0).startsWith(
        QStringLiteral("Módulo PrxQuebrado não pôde ser carregado: ")));
    QCOMPARE(ui.errors().at(1), QStringLiteral("Módulo PrxTesteModulo não está instalado."));
}

void HostServicesTest::showMdiChildUsesHostHandler()
{
    QWidget workspace;
    QList<QWidget *> shown;
    setMdiChildHandler([&](QWidget *form) {
        if (!shown.contains(form)) {
            form->setParent(&workspace);
            shown.append(form);
        }
        return &workspace;
    });
    auto *form = new QWidget;
    QCOMPARE(hostShowMdiChild(form), &workspace);
    QCOMPARE(hostShowMdiChild(form), &workspace);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(form->parentWidget(), &workspace);
    setMdiChildHandler({});

    // Without a host the form is simply shown on its own.
    QWidget alone;
    QCOMPARE(hostShowMdiChild(&alone), &alone);
    QVERIFY(alone.isVisible());
    QCOMPARE(hostShowMdiChild(nullptr), nullptr);
}

void HostServicesTest::configFileAndOverrides()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("prx-host.ini"));
    {
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Text));
        ini.write("[servidor]\nendereco=10.0.0.5:9000\n"
                  "[base]\nlocal=/dados/prx.db\n"
                  "[filial]\ncodigo=2\nvinculada=sim\n"
                  "[processamento]\ndata=2026-12-07\n"
                  "[produto]\nmascara=\"99.999.99999;1;_\"\n");
    }
    HostConfig fromFile;
    QString error;
    QVERIFY2(HostConfig::fromArguments({QStringLiteral("--config"), file}, &fromFile, &error),
             qPrintable(error));
    QCOMPARE(fromFile.serverHost, QStringLiteral("10.0.0.5"));
    QCOMPARE(fromFile.serverPort, 9000);
    QCOMPARE(fromFile.database, QStringLiteral("/dados/prx.db"));
    QCOMPARE(fromFile.branch, QStringLiteral("2"));
    QVERIFY(fromFile.boundToBranch);
    QCOMPARE(fromFile.processingDate, QDate(2026, 12, 7));

    HostConfig c;
    QVERIFY2(HostConfig::fromArguments(
                 {QStringLiteral("--server=127.0.0.1:7999"), QStringLiteral("--db"),
                  QStringLiteral("postgresql://prx@127.0.0.1:5432/prx"), QStringLiteral("--branch"),
                  QStringLiteral("0003"), QStringLiteral("--date"), QStringLiteral("2027-01-31"),
                  QStringLiteral("--open"), QStringLiteral("prx51700"), QStringLiteral("--config"),
                  file},
                 &c, &error),
             qPrintable(error));
    QCOMPARE(c.serverHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(c.serverPort, 7999);
    QCOMPARE(c.database, QStringLiteral("postgresql://prx@127.0.0.1:5432/prx"));
    QCOMPARE(c.branch, QStringLiteral("0003"));
    QVERIFY(c.boundToBranch); // from the file; the command line cannot unbind
    QCOMPARE(c.processingDate, QDate(2027, 1, 31));
    QCOMPARE(c.openScreen, QStringLiteral("PRX51700"));

    // Unquoted, the INI reader cuts the mask at its first ';'.
    const QString plain = dir.filePath(QStringLiteral("sem-aspas.ini"));
    {
        QFile ini(plain);
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Text));
        ini.write("[produto]\nmascara=99.99.999;1;_\n");
    }
    HostConfig unquoted;
    QVERIFY2(HostConfig::fromArguments({QStringLiteral("--config"), plain}, &unquoted, &error),
             qPrintable(error));
    QCOMPARE(unquoted.productMask, QStringLiteral("99.99.999;0;_"));

    HostState state;
    fromFile.applyTo(state);
    QCOMPARE(state.branchCode, QStringLiteral("0002")); // brought to width
    QCOMPARE(state.productMask, QStringLiteral("99.999.99999;1;_"));
    QCOMPARE(state.productLevelDigits, (QList<int>{2, 3, 5}));
    QCOMPARE(state.serverPort, 9000);
    QCOMPARE(state.processingDate, QDate(2026, 12, 7));
}

void HostServicesTest::configRejectsBadValues_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("server without port")
        << QStringList{"--server", "127.0.0.1"} << "Endereço do servidor inválido: 127.0.0.1.";
    QTest::newRow("port out of range")
        << QStringList{"--server", "h:70000"} << "Endereço do servidor inválido: h:70000.";
    QTest::newRow("impossible date")
        << QStringList{"--date", "2026-02-30"} << "Data de processamento inválida: 2026-02-30.";
    QTest::newRow("Brazilian date order")
        << QStringList{"--date", "07/12/2026"} << "Data de processamento inválida: 07/12/2026.";
    QTest::newRow("missing value") << QStringList{"--db"} << "Falta o valor de --db.";
    QTest::newRow("unknown") << QStringList{"--verbose"} << "Argumento desconhecido: --verbose.";
    QTest::newRow("missing config file")
        << QStringList{"--config", "/nao/existe/prx-host.ini"}
        << "Arquivo de configuração não encontrado: /nao/existe/prx-host.ini.";
}

void HostServicesTest::configRejectsBadValues()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    // No stray file in the default place may change the outcome.
    qputenv("XDG_CONFIG_HOME", QTemporaryDir().path().toLocal8Bit());
    HostConfig c;
    QString message;
    QVERIFY(!HostConfig::fromArguments(args, &c, &message));
    QCOMPARE(message, error);
}

QTEST_MAIN(HostServicesTest)
#include "tst_hostservices.moc"
