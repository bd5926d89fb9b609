#include "Cli_prx51702.h"

#include "ui_TfrmImportaVigencia.h"

#include "TransferCalls.h"

#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/FocusWatch.h"
#include "pricetable/ScreenTexts.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>

#include <stdexcept>

namespace prx {

namespace Cli_prx51702 {

TfrmImportaVigencia *frmImportaVigencia = nullptr;

void CriaImportaVigencia()
{
    WaitCursor cursor;
    frmImportaVigencia = package::buildDialog<TfrmImportaVigencia>();
    package::normalThenShowModal(frmImportaVigencia);
}

} // namespace Cli_prx51702

namespace {

// The search's "every period" run binds a start that matches none: the
// first day of the calendar the dates count from, as a date-time (a number
// there is not a date to every database).
const QDateTime kNoStart = wallClock(QDate(1899, 12, 30));

} // namespace

TfrmImportaVigencia::TfrmImportaVigencia(QWidget *parent)
    : TfrmRotiGeral(parent), qryTabeVend(new LocalQuery(this)),
      cdsVerifItemPrecoCad(new ClientDataSet(this)),
      m_ui(std::make_unique<Ui::TfrmImportaVigencia>())
{
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    // The destination is the screen's current period; without one there is
    // nothing to import into.
    if (!screen.cdsTabePrec->isActive() || screen.cdsTabePrec->isEmpty() ||
        !screen.cdsTabeVend->isActive() || screen.cdsTabeVend->isEmpty() ||
        !screen.cdsTabeVendDTINIVGPREC->asDateTime().isValid()) {
        throw std::runtime_error("Selecione na tela Tabela de Preços o período de vigência que "
                                 "receberá a importação.");
    }
    setObjectName(QStringLiteral("frmImportaVigencia"));
    setCaption(QStringLiteral("Importar Vigência"));
    setScreenCode(QStringLiteral("PRX51702"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgImportaVigencia.txt"));

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    edtCdFilial = m_ui->edtCdFilial;
    edtNmFilial = m_ui->edtNmFilial;
    edtCdTabePrec = m_ui->edtCdTabePrec;
    edtNmTabePrec = m_ui->edtNmTabePrec;
    depDtIniDest = m_ui->depDtIniDest;
    depDtFinDest = m_ui->depDtFinDest;
    depDtIniOrig = m_ui->depDtIniOrig;
    depDtFinOrig = m_ui->depDtFinOrig;
    btpVigOrigem = m_ui->btpVigOrigem;
    resize(480, 210);
    for (QWidget *grey : std::initializer_list<QWidget *>{
             edtCdFilial, edtNmFilial, edtCdTabePrec, edtNmTabePrec, depDtIniDest->lineEdit(),
             depDtFinDest->lineEdit(), depDtFinOrig->lineEdit()})
        transfer::markRequired(grey, false);
    transfer::markRequired(depDtIniOrig->lineEdit(), true);

    cdsVerifItemPrecoCad->setObjectName(QStringLiteral("cdsVerifItemPrecoCad"));
    qryTabeVend->setObjectName(QStringLiteral("qryTabeVend"));
    qryTabeVend->setSql({"SELECT DTINIVGPREC, DTFINVGPREC", "FROM TABEVEND",
                         "WHERE (CDFILIAL     =  :P_CDFILIAL)   AND",
                         "      (CDTABEPREC   =  :P_CDTABEPREC) AND",
                         "      (DTINIVGPREC  <> :P_DTINIDEST)  AND",
                         "      ((DTINIVGPREC = :P_DTINIVGPREC) OR (:P_TDTINIVGPREC = 'T'))",
                         "ORDER BY DTINIVGPREC"});
    qryTabeVend->addField(QStringLiteral("DTINIVGPREC"), FieldType::DateTime)
        .setDisplayLabel(QStringLiteral("Data Inicial"));
    qryTabeVend->addField(QStringLiteral("DTFINVGPREC"), FieldType::DateTime)
        .setDisplayLabel(QStringLiteral("Data Final"));
    qryTabeVend->addCalculatedField(QStringLiteral("SITUACAO"), FieldType::String, 10)
        .setDisplayLabel(QStringLiteral("Situação"));
    qryTabeVend->onCalcFields = [this](ClientDataSet &) { qryTabeVendCalcFields(); };
    dtsTabeVend = new DataSource(qryTabeVend, this);
    dtsTabeVend->setObjectName(QStringLiteral("dtsTabeVend"));

    btpVigOrigem->setDataSource(dtsTabeVend);
    btpVigOrigem->setTitle(QStringLiteral("Vigência de Origem"));
    btpVigOrigem->setToolTip(QStringLiteral("Pesquisar"));
    btpVigOrigem->BeforePesq = [this](TBtnPesquisa &) { btpVigOrigemBeforePesq(); };
    btpVigOrigem->AfterPesq = [this](TBtnPesquisa &) { btpVigOrigemAfterPesq(); };
    connect(depDtIniOrig, &TDateEditPlus::dateChanged, this,
            [this] { runUserAction([this] { depDtIniOrigChange(); }); });
    auto *watch = new FocusWatch(depDtIniOrig, this);
    watch->refocus = depDtIniOrig->lineEdit();
    watch->onExit = [this] { Vd_DtIniVig(false); };

    edtCdFilial->setText(screen.medCdFilial->text());
    edtNmFilial->setText(screen.edtNmFilial->text());
    edtCdTabePrec->setText(screen.cdsTabePrecCDTABEPREC->asString());
    edtNmTabePrec->setText(screen.cdsTabePrecNMTABEPREC->asString());
    m_destStart = screen.cdsTabeVendDTINIVGPREC->asDateTime();
    m_destEnd = screen.cdsTabeVendDTFINVGPREC->asDateTime();
    depDtIniDest->setDate(m_destStart.date());
    depDtFinDest->setDate(m_destEnd.date());
    depDtIniOrig->clear();
    depDtFinOrig->clear();
}

TfrmImportaVigencia::~TfrmImportaVigencia()
{
    if (Cli_prx51702::frmImportaVigencia == this)
        Cli_prx51702::frmImportaVigencia = nullptr;
}

void TfrmImportaVigencia::FormActivate()
{
    update();
}

void TfrmImportaVigencia::fail(const QString &key)
{
    depDtIniOrig->lineEdit()->setFocus(Qt::OtherFocusReason);
    MensErro(msgPadrao.Msg(key), true);
    abortSilently();
}

void TfrmImportaVigencia::qryTabeVendCalcFields()
{
    const bool active =
        pricetable::inForce(wallClockToday(), qryTabeVend->fieldByName(u"DTINIVGPREC").asDateTime(),
                            qryTabeVend->fieldByName(u"DTFINVGPREC").asDateTime());
    qryTabeVend->fieldByName(u"SITUACAO")
        .setAsString(msgPadrao.Msg(active ? QStringLiteral("ativa") : QStringLiteral("inativa")));
}

void TfrmImportaVigencia::openPeriods(const QDateTime &start, const QString &all)
{
    qryTabeVend->close();
    qryTabeVend->setParam(QStringLiteral("P_CDFILIAL"), edtCdFilial->text());
    qryTabeVend->setParam(QStringLiteral("P_CDTABEPREC"), edtCdTabePrec->text());
    qryTabeVend->setParam(QStringLiteral("P_DTINIDEST"), m_destStart);
    qryTabeVend->setParam(QStringLiteral("P_DTINIVGPREC"), start);
    qryTabeVend->setParam(QStringLiteral("P_TDTINIVGPREC"), all);
    qryTabeVend->open();
}

void TfrmImportaVigencia::btpVigOrigemBeforePesq()
{
    openPeriods(kNoStart, QStringLiteral("T"));
}

void TfrmImportaVigencia::btpVigOrigemAfterPesq()
{
    depDtIniOrig->setDate(qryTabeVend->fieldByName(u"DTINIVGPREC").asDateTime().date());
    depDtFinOrig->setDate(qryTabeVend->fieldByName(u"DTFINVGPREC").asDateTime().date());
}

void TfrmImportaVigencia::depDtIniOrigChange()
{
    depDtFinOrig->clear();
}

void TfrmImportaVigencia::Vd_DtIniVig(bool mandatory)
{
    depDtIniOrig->CheckValidDate();
    if (depDtIniOrig->isEmpty()) {
        if (mandatory)
            fail(QStringLiteral("VigOrig_inf"));
        return;
    }
    if (mandatory && !widgetBelongsTo(QApplication::focusWidget(), depDtIniOrig))
        return; // leaving the edit checked it
    openPeriods(wallClock(depDtIniOrig->date()), QString(""));
    if (qryTabeVend->isEmpty())
        fail(QStringLiteral("VigOrig_cad"));
    depDtFinOrig->setDate(qryTabeVend->fieldByName(u"DTFINVGPREC").asDateTime().date());
}

void TfrmImportaVigencia::sbtConfirmaClick()
{
    Vd_DtIniVig(true);
    NetConnection *net = Cli_prx51700::mainScreen().netTabePreco;
    {
        BusyScope busy(6);
        transfer::loadPayload(
            cdsVerifItemPrecoCad,
            transfer::callServer(net, QStringLiteral("GetVerifItemPrecoCad"),
                                 {edtCdFilial->text(), edtCdTabePrec->text(), m_destStart}));
    }
    bool overwrite = false;
    if (!cdsVerifItemPrecoCad->isEmpty()) {
        // The two "%s" of the text take the destination's start and end.
        QString text = msgPadrao.Msg(QStringLiteral("Vig_existe"));
        for (const QDateTime &date : {m_destStart, m_destEnd}) {
            const qsizetype at = text.indexOf(u"%s");
            if (at >= 0)
                text.replace(at, 2, date.date().toString(u"dd/MM/yyyy"));
        }
        if (HostUi::instance().messageBox(text, MsgKind::Confirmation, {MsgYes, MsgNo}) != MsgYes)
            return;
        overwrite = true;
    }
    {
        BusyScope busy(1, msgPadrao.Msg(QStringLiteral("ImpVig_Inf")));
        transfer::callServer(net, QStringLiteral("SetImportaVigencia"),
                             {edtCdFilial->text(), edtCdTabePrec->text(),
                              wallClock(depDtIniOrig->date()), m_destStart, m_destEnd, overwrite});
    }
    // The host's lookups read the items and differentiated prices again.
    AtualizaLocalCache({QStringLiteral("ITEMPRECO"), QStringLiteral("ITEMPRECODIA")});
    msgPadrao.ShowMsg(QStringLiteral("ImpOk"), MsgKind::Information, {MsgOk});
    accept();
}

} // namespace prx
