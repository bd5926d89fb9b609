#include "Cli_prx51709.h"

#include "Cli_prx51710.h"

#include "ui_TfrmCopiaPreco.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/FocusWatch.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "services/ProductCode.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"

#include <QLabel>
#include <QRadioButton>

namespace prx {

namespace Cli_prx51709 {

TfrmCopiaPreco *frmCopiaPreco = nullptr;
bool boCriado = false;
QString stTabPrec;
QString stCdProdOrigem;
QString stProdDest;
QDateTime dtVigIni;
QDateTime dtVigFin;

namespace {

struct Unit
{
    Unit() { boCriado = false; }
    ~Unit()
    {
        stProdDest.clear();
        stCdProdOrigem.clear();
        stTabPrec.clear();
    }
};
const Unit unit;

} // namespace

void criaCopiaPreco(const QString &branch, const QString &table, const QString &product,
                    const QDateTime &start, const QDateTime &end)
{
    Cli_prx51710::stFilial = branch;
    stTabPrec = table;
    stCdProdOrigem = product;
    dtVigIni = start;
    dtVigFin = end;
    stProdDest.clear();
    // The dialog reads the screen's current item and period: without them
    // there is no base product to copy from.
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    if (product.trimmed().isEmpty() || !screen.cdsItemPreco->isActive() ||
        screen.cdsItemPreco->isEmpty() || !screen.cdsTabeVend->isActive() ||
        screen.cdsTabeVend->isEmpty()) {
        MensErro(QStringLiteral("Selecione um produto da tabela de preços antes de copiar os "
                                "preços diferenciados."),
                 true);
    }
    WaitCursor cursor;
    package::showBuiltOnce(frmCopiaPreco, boCriado);
}

} // namespace Cli_prx51709

using namespace Cli_prx51709;

TfrmCopiaPreco::TfrmCopiaPreco(QWidget *parent)
    : TfrmRotiGeral(parent), cdsProdCopia(new ClientDataSet(this)),
      cdsErrosCopia(new ClientDataSet(this)), dtsProdCopia(new DataSource(cdsProdCopia, this)),
      m_ui(std::make_unique<Ui::TfrmCopiaPreco>())
{
    Cli_prx51700::mainScreen(); // copies within the screen's current period
    setObjectName(QStringLiteral("frmCopiaPreco"));
    setCaption(QStringLiteral("Copiar Preços Diferenciados"));
    setScreenCode(QStringLiteral("PRX51709"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgCopiaPreco.txt"));
    cdsProdCopia->setObjectName(QStringLiteral("cdsProdCopia"));
    cdsErrosCopia->setObjectName(QStringLiteral("cdsErrosCopia"));
    dtsProdCopia->setObjectName(QStringLiteral("dtsProdCopia"));

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    lblDadosTab = m_ui->lblDadosTab;
    lblDataVig = m_ui->lblDataVig;
    lblDadosProd = m_ui->lblDadosProd;
    rbtTodos = m_ui->rbtTodos;
    rbtProdLista = m_ui->rbtProdLista;
    rbtIntervalo = m_ui->rbtIntervalo;
    btpProdLista = m_ui->btpProdLista;
    btpProdIni = m_ui->btpProdIni;
    btpProdFin = m_ui->btpProdFin;
    medCdProdIni = m_ui->medCdProdIni;
    medNmProdIni = m_ui->medNmProdIni;
    medCdProdFin = m_ui->medCdProdFin;
    medNmProdFin = m_ui->medNmProdFin;
    medCdProdIni->setStyleSheet(QStringLiteral("background-color: #ffffe1;"));
    medCdProdFin->setStyleSheet(QStringLiteral("background-color: #ffffe1;"));
    medNmProdIni->setStyleSheet(QStringLiteral("background-color: #d4d0c8;"));
    medNmProdFin->setStyleSheet(QStringLiteral("background-color: #d4d0c8;"));

    for (QRadioButton *mode : {rbtTodos, rbtProdLista, rbtIntervalo}) {
        connect(mode, &QRadioButton::clicked, this,
                [this, mode] { runUserAction([this, mode] { habProduto(mode); }); });
    }
    btpProdLista->BeforePesq = [this](TBtnPesquisa &) { btpProdListaClick(); };
    const std::tuple<TBtnPesquisa *, MaskEdit *, MaskEdit *> sides[] = {
        {btpProdIni, medCdProdIni, medNmProdIni}, {btpProdFin, medCdProdFin, medNmProdFin}};
    for (const auto &[button, code, name] : sides) {
        button->setDataSource(dtsProdCopia);
        button->setTitle(QStringLiteral("Produto"));
        button->BeforePesq = [this](TBtnPesquisa &) {
            cdsProdCopia->fieldByName(u"IDMARCADO").setVisible(false);
        };
        button->AfterPesq = [this, code, name](TBtnPesquisa &) {
            code->setText(cdsProdCopia->fieldByName(u"CDARVPROD").asString());
            name->setText(cdsProdCopia->fieldByName(u"NMPRODUTO").asString());
            cdsProdCopia->fieldByName(u"IDMARCADO").setVisible(rbtProdLista->isChecked());
        };
        connect(code, &QLineEdit::textEdited, name, &QLineEdit::clear);
        auto *watch = new FocusWatch(code, this);
        watch->onExit = [this, code, name] { vdProduto(code, name); };
        watch->refocus = code;
    }
    setFixedSize(500, 330);
}

TfrmCopiaPreco::~TfrmCopiaPreco()
{
    package::forgetBuiltOnce(this, frmCopiaPreco, boCriado);
}

void TfrmCopiaPreco::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    lblDadosTab->clear();
    lblDataVig->clear();
    lblDadosTab->setText(stTabPrec + QStringLiteral(" - ") + screen.medCdFilial->text());
    lblDataVig->setText(screen.cdsTabeVendDTINIVGPREC->asDateTime().toString(u"dd/MM/yyyy") +
                        QStringLiteral(" a ") +
                        screen.cdsTabeVendDTFINVGPREC->asDateTime().toString(u"dd/MM/yyyy"));
    lblDadosProd->setText(
        productCodeText(screen.cdsItemPreco->fieldByName(u"CDARVPROD").asString()) +
        QStringLiteral(" - ") + screen.cdsItemPreco->fieldByName(u"NMPRODUTO").asString());
    // The base product is read whole, however long its name: the dialog
    // grows to it instead of cutting it.
    if (layout())
        layout()->activate();
    setFixedSize(sizeHint().expandedTo(QSize(500, 330)));
    QVariant payload;
    {
        BusyScope busy(6);
        payload = CheckResultServ(screen.netTabePreco->call(QStringLiteral("getProdutosCopia"),
                                                            {Cli_prx51710::stFilial, stTabPrec,
                                                             stCdProdOrigem, dtVigIni}),
                                  true, 0);
    }
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu os produtos para a cópia.");
    cdsProdCopia->loadPacket(std::move(*packet));
    cdsProdCopia->fieldByName(u"CDPRODUTO").setVisible(false);
    cdsProdCopia->fieldByName(u"CDARVPROD").setDisplayLabel(QStringLiteral("Código"));
    cdsProdCopia->fieldByName(u"NMPRODUTO").setDisplayLabel(QStringLiteral("Nome"));
    const QString mask = DBPict(0);
    cdsProdCopia->fieldByName(u"CDARVPROD").setEditMask(mask);
    medCdProdIni->setEditMask(mask);
    medCdProdFin->setEditMask(mask);
    habProduto();
}

void TfrmCopiaPreco::FormClose()
{
    TfrmRotiGeral::FormClose();
    boCriado = false;
}

void TfrmCopiaPreco::habProduto(QRadioButton *chosen)
{
    if (chosen == rbtProdLista || chosen == rbtIntervalo)
        stProdDest.clear();
    const bool interval = rbtIntervalo->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{medCdProdIni, medNmProdIni, btpProdIni,
                                                       medCdProdFin, medNmProdFin, btpProdFin})
        w->setEnabled(interval);
    btpProdLista->setEnabled(rbtProdLista->isChecked());
    if (cdsProdCopia->isActive())
        cdsProdCopia->fieldByName(u"IDMARCADO").setVisible(rbtProdLista->isChecked());
    if (!interval) {
        for (MaskEdit *e : {medCdProdIni, medNmProdIni, medCdProdFin, medNmProdFin})
            e->clear();
    }
}

void TfrmCopiaPreco::btpProdListaClick()
{
    HostUi::instance().pesquisaLista(*dtsProdCopia, QStringLiteral("CDPRODUTO"),
                                     msgPadrao.Msg(QStringLiteral("PROD")) + u'|' +
                                         msgPadrao.Msg(QStringLiteral("PRODINV")),
                                     &stProdDest);
}

bool TfrmCopiaPreco::offered(const QString &code)
{
    return cdsProdCopia->isActive() &&
           cdsProdCopia->locate(u"CDARVPROD", code, LocateOptions{true, false});
}

void TfrmCopiaPreco::vdProduto(MaskEdit *code, MaskEdit *name)
{
    if (EmptyString(code->text()))
        return;
    if (!offered(code->text())) {
        code->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("PROD_N")), true);
    }
    name->setText(cdsProdCopia->fieldByName(u"NMPRODUTO").asString());
}

void TfrmCopiaPreco::sbtConfirmaClick()
{
    if (rbtProdLista->isChecked() && EmptyString(stProdDest)) {
        rbtProdLista->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("PROD_DEV")), true);
    }
    QString mode = QStringLiteral("T"), first, second;
    if (rbtIntervalo->isChecked()) {
        for (MaskEdit *e : {medCdProdIni, medCdProdFin}) {
            if (EmptyString(e->text())) {
                e->setFocus();
                MensErro(msgPadrao.Msg(QStringLiteral("PROD_DEV")), true);
            }
        }
        for (MaskEdit *e : {medCdProdIni, medCdProdFin}) {
            if (!offered(e->text())) {
                e->setFocus();
                MensErro(msgPadrao.Msg(QStringLiteral("PROD_N")), true);
            }
        }
        if (medCdProdIni->text() > medCdProdFin->text()) {
            medCdProdFin->setFocus();
            MensErro(msgPadrao.Msg(QStringLiteral("PRODFIN_MAIOR")), true);
        }
        mode = QStringLiteral("I");
        first = medCdProdIni->text();
        second = medCdProdFin->text();
    } else if (rbtProdLista->isChecked()) {
        mode = QStringLiteral("L");
        first = stProdDest;
    }
    if (msgPadrao.ShowMsg(QStringLiteral("CONFIRMAR"), MsgKind::Warning, {MsgYes, MsgNo}) != MsgYes)
        return;
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    ClientDataSet &item = *screen.cdsItemPreco;
    const QString branch = item.fieldByName(u"CDFILIAL").asString();
    const QString table = item.fieldByName(u"CDTABEPREC").asString();
    BusyScope busy(1);
    const QVariant payload = CheckResultServ(
        screen.netTabePreco->call(QStringLiteral("setCopiaPreco"),
                                  {branch, table, item.fieldByName(u"DTINIVGPREC").asDateTime(),
                                   item.fieldByName(u"CDPRODUTO").asString(), first, second, mode}),
        true, 0);
    // Whatever was copied is in the tables now, failures or not.
    AtualizaLocalCache({QStringLiteral("ITEMPRECODIA")});
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu o resultado da cópia.");
    cdsErrosCopia->loadPacket(std::move(*packet));
    if (cdsErrosCopia->isEmpty()) {
        msgPadrao.ShowMsg(QStringLiteral("SUCESSO"), MsgKind::Information, {MsgOk});
        close();
        return;
    }
    if (msgPadrao.ShowMsg(QStringLiteral("ERRO_COPIAR"), MsgKind::Error, {MsgYes, MsgNo}) ==
        MsgYes) {
        Cli_prx51710::criaRelInconsistencia(
            branch, table,
            QVariant::fromValue(std::make_shared<DataPacket>(cdsErrosCopia->data())));
    }
}

} // namespace prx
