#include "Cli_prx51704.h"

#include "ui_TfrmCadAutTabePrec.h"

#include "autoprice/SkippedProducts.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/CustProd.h"
#include "services/HostState.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/DBText.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>

namespace prx {

namespace Cli_prx51704 {

TfrmCadAutTabePrec *frmCadAutTabePrec = nullptr;
bool boStCriado = false;
QString stErro;
TdtmCustProd *dtmCustProd = nullptr;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
};
const Unit unit;

} // namespace

void CriaCadAutTabePrec()
{
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutTabePrec, boStCriado);
}

} // namespace Cli_prx51704

using namespace Cli_prx51704;

TfrmCadAutTabePrec::TfrmCadAutTabePrec(QWidget *parent)
    : TfrmRotiGeral(parent), netCustos(new NetConnection(this)),
      cdsProduto(new ClientDataSet(this)), dtsProduto(new DataSource(cdsProduto, this)),
      m_ui(std::make_unique<Ui::TfrmCadAutTabePrec>())
{
    TfrmTabePreco &screen = Cli_prx51700::mainScreen(); // works on its current period
    setObjectName(QStringLiteral("frmCadAutTabePrec"));
    setCaption(QStringLiteral("Calcula Preço"));
    setScreenCode(QStringLiteral("PRX51704"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgCadAutTabePrec.txt"));
    netCustos->setObjectName(QStringLiteral("netCustos"));
    netCustos->setServerObject(QStringLiteral("cus.rdmCustProd"));
    netCustos->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };

    cdsProduto->setObjectName(QStringLiteral("cdsProduto"));
    dtsProduto->setObjectName(QStringLiteral("dtsProduto"));
    cdsProduto->addField(QStringLiteral("IDMARCADO"), FieldType::String, 1);
    Field &code = cdsProduto->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    code.setDisplayLabel(QStringLiteral("Código"));
    code.setVisible(false);
    cdsProduto->addField(QStringLiteral("CDARVPROD"), FieldType::String, 20)
        .setDisplayLabel(QStringLiteral("Produto"));
    cdsProduto->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 50)
        .setDisplayLabel(QStringLiteral("Nome"));

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    DBText1 = m_ui->DBText1;
    DBText2 = m_ui->DBText2;
    DBText3 = m_ui->DBText3;
    DBText4 = m_ui->DBText4;
    rbtProdT = m_ui->rbtProdT;
    rbtProdL = m_ui->rbtProdL;
    btpProduto = m_ui->btpProduto;
    cmbTipoCusto = m_ui->cmbTipoCusto;
    chbImposto = m_ui->chbImposto;
    panAnimacao = m_ui->panAnimacao;
    amnTempo = m_ui->amnTempo;

    const std::pair<DBText *, const char *> shown[] = {{DBText1, "CDTABEPREC"},
                                                       {DBText3, "NMTABEPREC"},
                                                       {DBText2, "DTINIVGPREC"},
                                                       {DBText4, "DTFINVGPREC"}};
    for (const auto &[label, field] : shown) {
        label->setDataSource(screen.dtsTabeVend);
        label->setDataField(QString::fromLatin1(field));
    }
    btpProduto->setTitle(QStringLiteral("Produto"));
    // The list search replaces the button's single choice: it runs before the
    // choice would, and the button is given no source of its own to choose from.
    btpProduto->BeforePesq = [this](TBtnPesquisa &) { btpProdutoClick(); };
    for (QRadioButton *mode : {rbtProdT, rbtProdL}) {
        connect(mode, &QRadioButton::clicked, this,
                [this] { runUserAction([this] { rbtProdClick(); }); });
    }
    resize(420, 260);
}

TfrmCadAutTabePrec::~TfrmCadAutTabePrec()
{
    package::forgetBuiltOnce(this, frmCadAutTabePrec, boStCriado);
}

void TfrmCadAutTabePrec::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    netCustos->setConnected(true);
    // Only the last dialog's module is kept: the one before it had no use left.
    delete dtmCustProd;
    dtmCustProd = new TdtmCustProd(qApp);
    cmbTipoCusto->addItems(ListaTipoCusto(*netCustos, *dtmCustProd));
    cmbTipoCusto->setCurrentIndex(cmbTipoCusto->count() > 0 ? 0 : -1);
}

void TfrmCadAutTabePrec::FormActivate()
{
    TfrmRotiGeral::FormActivate();
    repaint();
    cdsProduto->fieldByName(u"CDARVPROD").setEditMask(DBPict(0));
}

void TfrmCadAutTabePrec::FormClose()
{
    TfrmRotiGeral::FormClose();
    boStCriado = false;
    stErro.clear();
    stListaProd.clear();
}

void TfrmCadAutTabePrec::FormDestroy()
{
    TfrmRotiGeral::FormDestroy();
    netCustos->setConnected(false);
}

void TfrmCadAutTabePrec::rbtProdClick()
{
    btpProduto->setEnabled(rbtProdL->isChecked());
}

void TfrmCadAutTabePrec::btpProdutoClick()
{
    {
        BusyScope busy(6);
        SQL_Pesquisa_Produto_CDS(Cli_prx51700::mainScreen().medCdFilial->text(), *cdsProduto,
                                 stErro);
    }
    // A failed read must not pass for a branch without products.
    if (!stErro.isEmpty())
        MensErro(stErro, true);
    HostUi::instance().pesquisaLista(*dtsProduto, QStringLiteral("CDPRODUTO"),
                                     msgPadrao.Msg(QStringLiteral("PROD")) + u'|' +
                                         msgPadrao.Msg(QStringLiteral("PRODINV")),
                                     &stListaProd);
}

void TfrmCadAutTabePrec::sbtConfirmaClick()
{
    if (rbtProdL->isChecked() && EmptyString(stListaProd))
        MensErro(msgPadrao.Msg(QStringLiteral("PRODINF")), true);
    if (EmptyString(cmbTipoCusto->currentText())) {
        cmbTipoCusto->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("TPCUINF")), true);
    }
    if (msgPadrao.ShowMsg(QStringLiteral("CONF"), MsgKind::Confirmation, {MsgYes, MsgNo}) != MsgYes)
        return;

    // A confirmed run ends the dialog, whether it worked or not.
    const auto finish = qScopeGuard([this] {
        panAnimacao->hide();
        amnTempo->setMaximum(1);
        close();
    });
    panAnimacao->show();
    amnTempo->setMaximum(0);
    repaint();
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    screen.setBoCalcPreco(true);

    const QString levels = QString::number(DBPictObj(0).GetTtNiveis());
    const bool withTaxes = chbImposto->isChecked();
    const int costType =
        dtmCustProd ? dtmCustProd->NumeroTipoCusto(cmbTipoCusto->currentIndex()) : -1;
    const bool isList = rbtProdL->isChecked();
    const QString branch = screen.cdsTabeVend->fieldByName(u"CDFILIAL").asString();
    // With "Todos" the check covers the whole segment: a list left from an
    // earlier "Lista" run must not narrow it to products not being priced.
    const QString checkedList = isList ? stListaProd : QString();

    bool complete = false;
    {
        BusyScope busy(1, msgPadrao.Msg(QStringLiteral("VERIF_PERC")));
        complete = CheckResultServ(screen.netTabePreco->call(QStringLiteral("GetPercProd"),
                                                             {branch, checkedList, levels}),
                                   true, 0)
                       .toBool();
    }
    if (!complete) {
        rbtProdL->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("PERC_NAO_INF")), true);
    }
    QVariant answer;
    {
        BusyScope busy(1, msgPadrao.Msg(QStringLiteral("CalculaPreco_Inf")));
        answer =
            CheckResultServ(screen.netTabePreco->call(
                                QStringLiteral("SetCalcPreco"),
                                {branch, screen.cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                                 screen.cdsTabeVendDTINIVGPREC->asDateTime(), levels, stListaProd,
                                 isList, withTaxes, costType}),
                            true, 0);
    }
    // Products left without a price (no cost of the type, no tax rate) are
    // no success: the user is told how many and may see which.
    if (autoprice::tellSkipped(answer, msgPadrao) == 0) {
        HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("CADOK")), MsgKind::Confirmation,
                                      {MsgOk});
    }
    // The grid must hold the prices just calculated: an edit of a row read
    // before would be refused as changed by someone else.
    if (screen.cdsItemPreco->isActive()) {
        BusyScope busy(6);
        screen.loadItemPreco();
    }
}

} // namespace prx
