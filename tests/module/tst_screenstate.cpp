#include "ClosedPort.h"
#include "ScriptedHostUi.h"

#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "widgets/TButtonFlat.h"

#include <QAction>
#include <QPointer>
#include <QTabWidget>
#include <QTest>

using namespace prx;

namespace {

// A packet as the server would send it, built here so that the screen can be
// driven without one.
DataPacket packetOf(const QList<FieldDef> &fields, const QList<QVariantList> &rows)
{
    DataPacket packet(fields);
    for (const QVariantList &values : rows) {
        const int row = packet.appendRow();
        for (int c = 0; c < values.size(); ++c)
            packet.setValue(row, c, values.at(c));
    }
    return packet;
}

const QDateTime periodStart = wallClock(QDate(2026, 11, 7));
const QDateTime periodEnd = wallClock(QDate(2027, 1, 5));

} // namespace

// The screen's own state rules, driven with data built in the test and no
// server: every server call the screen makes here fails.
class ScreenStateTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // A failed load of the components must not leave the commands frozen.
    void failedComponentLoadKeepsCommandsAlive();
    // A failed load of the periods must not leave their state rules switched
    // off for the rest of the session.
    void failedPeriodLoadKeepsPeriodRules();
    // The differentiated prices shown are those of the item in focus, also
    // for codes holding a quote.
    void itemRowSelectsItsDifferentiatedPrices();
    // Nothing is recomputed while the screen says the commands must wait.
    void commandsWaitWhileSuspended();

private:
    void loadPeriod();
    void loadItems(const QList<QVariantList> &items);

    std::unique_ptr<prx::test::ScriptedHostUi> m_ui;
    QPointer<TfrmTabePreco> m_form;
};

void ScreenStateTest::initTestCase()
{
    HostState &state = HostState::instance();
    state.serverHost = QStringLiteral("127.0.0.1");
    state.serverPort = closedPort();
}

void ScreenStateTest::init()
{
    m_ui = std::make_unique<prx::test::ScriptedHostUi>();
    HostState::instance().branchCode = QStringLiteral("0001");
    Cli_prx51700::CriaTabePreco();
    m_form = Cli_prx51700::frmTabePreco;
    QVERIFY(m_form);
    QVERIFY(QTest::qWaitForWindowActive(m_form));
}

void ScreenStateTest::cleanup()
{
    if (m_form) {
        m_form->close();
        QTRY_VERIFY(m_form.isNull());
    }
    QCOMPARE(m_ui->busyDepth(), 0);
    m_ui.reset();
}

void ScreenStateTest::loadPeriod()
{
    m_form->cdsTabeVend->loadPacket(
        packetOf({{"CDTABEPREC", FieldType::String, 3},
                  {"DTINIVGPREC", FieldType::DateTime, 0},
                  {"DTFINVGPREC", FieldType::DateTime, 0},
                  {"CDFILIAL", FieldType::String, 4},
                  {"IDSITVGPREC", FieldType::String, 10},
                  {"NMTABEPREC", FieldType::String, 20}},
                 {{"001", periodStart, periodEnd, "0001", "1", "Balcão"}}));
}

void ScreenStateTest::loadItems(const QList<QVariantList> &items)
{
    m_form->cdsItemPreco->loadPacket(packetOf({{"CDPRODUTO", FieldType::String, 10},
                                               {"CDPRPAITABPR", FieldType::String, 10},
                                               {"NRCOMPPROD", FieldType::Float, 0},
                                               {"VRPRECITEM", FieldType::Float, 0}},
                                              items));
}

void ScreenStateTest::failedComponentLoadKeepsCommandsAlive()
{
    loadPeriod();
    loadItems({{"0000000060", "0000000060", 3.0, 70.9}, {"0000000059", "0000000059", 3.0, 67.9}});
    m_form->pgcItemPreco->setCurrentWidget(m_form->tshComposicao); // composite items
    m_ui->clearRecord();

    // The components of this item cannot be read.
    QVERIFY_THROWS_EXCEPTION(Abort, m_form->cdsItemPreco->moveTo(1));
    QCOMPARE(m_ui->errors().size(), 1);
    QVERIFY(Cli_prx51700::boAtualizaBotoes);
    m_form->mnuAlterar->setEnabled(false);
    m_form->Atualiza_Botoes(m_form->dtsItemPreco);
    QVERIFY(m_form->mnuAlterar->isEnabled());
    QVERIFY(m_form->sbtAlterar->isEnabled());
}

void ScreenStateTest::failedPeriodLoadKeepsPeriodRules()
{
    // Opening the tables asks for the periods of the first one.
    QVERIFY_THROWS_EXCEPTION(
        Abort, m_form->cdsTabePrec->loadPacket(packetOf({{"CDFILIAL", FieldType::String, 4},
                                                         {"CDTABEPREC", FieldType::String, 3},
                                                         {"NMTABEPREC", FieldType::String, 20}},
                                                        {{"0001", "001", "Balcão"}})));
    QCOMPARE(m_ui->errors().size(), 1);
    QVERIFY(!m_form->cdsTabeVend->isActive());

    // The periods' state rule still runs: editing a period puts the header
    // into edit, so that the pending change shows there.
    loadPeriod();
    QCOMPARE(m_form->cdsTabePrec->state(), DataSetState::Browse);
    m_form->cdsTabeVend->edit();
    QCOMPARE(m_form->cdsTabePrec->state(), DataSetState::Edit);
    QVERIFY(m_form->mnuConfirmar->isEnabled());
    m_form->cdsTabeVend->cancel();
    m_form->cdsTabePrec->cancel();
}

void ScreenStateTest::itemRowSelectsItsDifferentiatedPrices()
{
    loadPeriod();
    QList<QVariantList> prices;
    const QStringList products = {"A'B", "A", "A'B", "X"};
    for (const QString &product : products)
        prices.append({"0001", "001", periodStart, product, product, "T"});
    m_form->cdsPrecoHora->loadPacket(packetOf({{"CDFILIAL", FieldType::String, 4},
                                               {"CDTABEPREC", FieldType::String, 3},
                                               {"DTINIVGPREC", FieldType::DateTime, 0},
                                               {"CDPRPAITABPR", FieldType::String, 10},
                                               {"CDPRODUTO", FieldType::String, 10},
                                               {"NRDIASEMANPR", FieldType::String, 1}},
                                              prices));
    loadItems({{"A'B", "A'B", 0.0, 1.0}, {"A", "A", 0.0, 1.0}, {"Z", "Z", 0.0, 1.0}});
    QCOMPARE(m_form->cdsPrecoHora->recordCount(), 2); // the first item's
    m_form->cdsItemPreco->moveTo(1);
    QCOMPARE(m_form->cdsPrecoHora->recordCount(), 1);
    QCOMPARE(m_form->cdsPrecoHora->fieldByName(u"CDPRODUTO").asString(), QStringLiteral("A"));
    m_form->cdsItemPreco->moveTo(2);
    QCOMPARE(m_form->cdsPrecoHora->recordCount(), 0);
    QCOMPARE(m_form->cdsPrecoHora->fieldByName(u"NRDIASEMANPR").displayText(), QString());
    m_form->cdsItemPreco->moveTo(0);
    QCOMPARE(m_form->cdsPrecoHora->recordCount(), 2);
    QCOMPARE(m_form->cdsPrecoHora->fieldByName(u"NRDIASEMANPR").displayText(),
             QStringLiteral("Todos os Dias"));
}

void ScreenStateTest::commandsWaitWhileSuspended()
{
    loadPeriod();
    m_form->mnuIncluir->setEnabled(false);
    Cli_prx51700::boAtualizaBotoes = false;
    m_form->Atualiza_Botoes(m_form->dtsTabeVend);
    QVERIFY(!m_form->mnuIncluir->isEnabled());
    Cli_prx51700::boAtualizaBotoes = true;
    m_form->Atualiza_Botoes(m_form->dtsTabeVend);
    QVERIFY(m_form->mnuIncluir->isEnabled());
}

QTEST_MAIN(ScreenStateTest)
#include "tst_screenstate.moc"
