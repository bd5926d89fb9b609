#include "Cli_prx51706.h"

#include "ui_TfrmCadAutPromocao.h"

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
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/SearchList.h"
#include "widgets/TBtnPesquisa.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace prx {

namespace Cli_prx51706 {

TfrmCadAutPromocao *frmCadAutPromocao = nullptr;
bool boStCriado = false;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
};
const Unit unit;

} // namespace

void CriaCadAutPromocao()
{
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutPromocao, boStCriado);
}

} // namespace Cli_prx51706

namespace {

void productFields(ClientDataSet *ds, bool marked, const QString &codeLabel,
                   const QString &treeLabel)
{
    if (marked)
        ds->addField(QStringLiteral("IDMARCADO"), FieldType::String, 1).setReadOnly(true);
    Field &code = ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    code.setVisible(false);
    if (!codeLabel.isEmpty())
        code.setDisplayLabel(codeLabel);
    ds->addField(QStringLiteral("CDARVPROD"), FieldType::String, 20).setDisplayLabel(treeLabel);
    ds->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 50)
        .setDisplayLabel(QStringLiteral("Nome"));
}

} // namespace

TfrmCadAutPromocao::TfrmCadAutPromocao(QWidget *parent)
    : TfrmRotiGeral(parent), cdsAutItemPreco(new ClientDataSet(this)),
      cdsAux(new ClientDataSet(this)), cdsProdValid(new ClientDataSet(this)),
      cdsProduto(new ClientDataSet(this)), dtsAutItemPreco(new DataSource(cdsAutItemPreco, this)),
      dtsProduto(new DataSource(cdsAux, this)), dtsProduto1(new DataSource(cdsProduto, this)),
      m_ui(std::make_unique<Ui::TfrmCadAutPromocao>())
{
    Cli_prx51700::mainScreen(); // works on the screen's current period
    setObjectName(QStringLiteral("frmCadAutPromocao"));
    setCaption(QStringLiteral("Alteração Automática"));
    setScreenCode(QStringLiteral("PRX51706"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgCadAutPromocao.txt"));

    const std::pair<QObject *, const char *> names[] = {
        {cdsAutItemPreco, "cdsAutItemPreco"}, {cdsAux, "cdsAux"},
        {cdsProdValid, "cdsProdValid"},       {cdsProduto, "cdsProduto"},
        {dtsAutItemPreco, "dtsAutItemPreco"}, {dtsProduto, "dtsProduto"},
        {dtsProduto1, "dtsProduto1"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    productFields(cdsAutItemPreco, true, {}, QStringLiteral("Código"));
    productFields(cdsAux, false, {}, QStringLiteral("Código"));
    productFields(cdsProdValid, false, {}, {});
    productFields(cdsProduto, true, QStringLiteral("Código"), QStringLiteral("Produto"));

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    rbtTodos = m_ui->rbtTodos;
    rbtLista = m_ui->rbtLista;
    rbtIntervalo = m_ui->rbtIntervalo;
    btnListaProd = m_ui->btnListaProd;
    btnProdutoIni = m_ui->btnProdutoIni;
    btnProdutoFim = m_ui->btnProdutoFim;
    medProdIni = m_ui->medProdIni;
    medProdFim = m_ui->medProdFim;
    edtNomeIni = m_ui->edtNomeIni;
    edtNomeFim = m_ui->edtNomeFim;
    edtPrefixo = m_ui->edtPrefixo;
    rdgPromocao = m_ui->rdgPromocao;
    rdgPromocaoColocar = m_ui->rdgPromocaoColocar;
    rdgPromocaoRetirar = m_ui->rdgPromocaoRetirar;
    chbPrefixo = m_ui->chbPrefixo;
    rbtAddPrefixo = m_ui->rbtAddPrefixo;
    rbtDelPrefixo = m_ui->rbtDelPrefixo;
    lblPrefixo = m_ui->lblPrefixo;

    for (QRadioButton *mode : {rbtTodos, rbtLista, rbtIntervalo}) {
        connect(mode, &QRadioButton::clicked, this,
                [this, mode] { runUserAction([this, mode] { rbtProdutoClick(mode); }); });
    }
    connect(chbPrefixo, &QCheckBox::clicked, this,
            [this] { runUserAction([this] { chbPrefixoClick(); }); });
    // The list search replaces the button's single choice (no source of its own).
    btnListaProd->BeforePesq = [this](TBtnPesquisa &) { btnListaProdClick(); };

    const std::tuple<TBtnPesquisa *, MaskEdit *, QLineEdit *> interval[] = {
        {btnProdutoIni, medProdIni, edtNomeIni}, {btnProdutoFim, medProdFim, edtNomeFim}};
    for (const auto &[button, edit, name] : interval) {
        button->setDataSource(dtsProduto);
        button->setTitle(QStringLiteral("Produto"));
        button->BeforePesq = [this](TBtnPesquisa &) { loadPeriodProducts(cdsAux); };
        button->AfterPesq = [this, edit, name](TBtnPesquisa &) {
            edit->setText(cdsAux->fieldByName(u"CDARVPROD").asString());
            name->setText(cdsAux->fieldByName(u"NMPRODUTO").asString());
        };
        connect(edit, &QLineEdit::textEdited, name, &QLineEdit::clear);
    }
    m_iniWatch = new FocusWatch(medProdIni, this);
    m_iniWatch->onExit = [this] { Vd_ProdIni(false); };
    m_iniWatch->refocus = medProdIni;
    m_fimWatch = new FocusWatch(medProdFim, this);
    m_fimWatch->onExit = [this] { Vd_ProdFin(false); };
    m_fimWatch->refocus = medProdFim;
    resize(500, 380);
}

TfrmCadAutPromocao::~TfrmCadAutPromocao()
{
    package::forgetBuiltOnce(this, Cli_prx51706::frmCadAutPromocao, Cli_prx51706::boStCriado);
}

void TfrmCadAutPromocao::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    chbPrefixoClick();
}

void TfrmCadAutPromocao::FormActivate()
{
    TfrmRotiGeral::FormActivate();
    const QString mask = DBPict(0);
    cdsAutItemPreco->fieldByName(u"CDARVPROD").setEditMask(mask);
    cdsAux->fieldByName(u"CDARVPROD").setEditMask(mask);
    medProdIni->setEditMask(mask);
    medProdFim->setEditMask(mask);
}

void TfrmCadAutPromocao::FormClose()
{
    TfrmRotiGeral::FormClose();
    Cli_prx51706::boStCriado = false;
}

void TfrmCadAutPromocao::chbPrefixoClick()
{
    const bool on = chbPrefixo->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{rbtAddPrefixo, rbtDelPrefixo, lblPrefixo, edtPrefixo})
        w->setEnabled(on);
}

void TfrmCadAutPromocao::rbtProdutoClick(QRadioButton *clicked)
{
    btnListaProd->setEnabled(rbtLista->isChecked());
    const bool interval = rbtIntervalo->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{btnProdutoIni, btnProdutoFim, medProdIni, medProdFim})
        w->setEnabled(interval);
    if (clicked == rbtTodos)
        stListaProd.clear();
}

void TfrmCadAutPromocao::loadPeriodProducts(ClientDataSet *dataSet)
{
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    QVariant payload;
    {
        BusyScope busy(6);
        payload = CheckResultServ(
            screen.netTabePreco->call(QStringLiteral("GetAutItemPreco"), periodArgs()), true, 0);
    }
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu os produtos da vigência.");
    dataSet->loadPacket(std::move(*packet));
}

void TfrmCadAutPromocao::btnListaProdClick()
{
    if (!cdsAutItemPreco->isActive())
        loadPeriodProducts(cdsAutItemPreco);
    HostUi::instance().pesquisaLista(*dtsAutItemPreco, QStringLiteral("CDPRODUTO"),
                                     msgPadrao.Msg(QStringLiteral("Produto")), &stListaProd);
}

void TfrmCadAutPromocao::checkProduct(MaskEdit *edit, QLineEdit *name, const char *emptyKey,
                                      bool mandatory)
{
    try {
        const QString code = edit->text();
        if (EmptyString(code)) {
            if (mandatory)
                MensErro(msgPadrao.Msg(QString::fromLatin1(emptyKey)), true);
            return;
        }
        // The period's products already read answer at once for a code not
        // among them; the server decides for every other.
        if (cdsAutItemPreco->isActive() &&
            !ValidEx(*dtsAutItemPreco, QStringLiteral("CDARVPROD"), QString(code)))
            MensErro(msgPadrao.Msg(QStringLiteral("Prod_N_Cad")), true);
        TfrmTabePreco &screen = Cli_prx51700::mainScreen();
        QVariant payload;
        {
            BusyScope busy(6);
            payload = CheckResultServ(
                screen.netTabePreco->call(QStringLiteral("GetProdValid"), periodArgs() << code),
                true, 0);
        }
        const DataPacketPtr packet = payload.value<DataPacketPtr>();
        if (packet)
            cdsProdValid->loadPacket(std::move(*packet));
        if (!packet || cdsProdValid->isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Prod_N_Cad")), true);
        name->setText(cdsProdValid->fieldByName(u"NMPRODUTO").asString());
    } catch (...) {
        if (edit->isEnabled())
            edit->setFocus();
        throw;
    }
}

void TfrmCadAutPromocao::Vd_ProdIni(bool mandatory)
{
    checkProduct(medProdIni, edtNomeIni, "ProdIni_inf", mandatory);
}

void TfrmCadAutPromocao::Vd_ProdFin(bool mandatory)
{
    checkProduct(medProdFim, edtNomeFim, "ProdFim_inf", mandatory);
}

void TfrmCadAutPromocao::Vd_Lista()
{
    if (rbtLista->isChecked() && EmptyString(stListaProd)) {
        rbtLista->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("Lista_Vazia")), true);
    }
}

QVariantList TfrmCadAutPromocao::periodArgs() const
{
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    return {screen.cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
            screen.cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
            screen.cdsTabeVendDTINIVGPREC->asDateTime()};
}

// Initial code, final code, list text, all-products flag; an interval whose
// start comes after its end is refused before anything is sent.
QVariantList TfrmCadAutPromocao::selectionArgs() const
{
    if (rbtTodos->isChecked())
        return {QString(), QString(), QString(), QStringLiteral("T")};
    if (rbtLista->isChecked())
        return {QString(), QString(), stListaProd, QString()};
    const QString initial = medProdIni->text(), final = medProdFim->text();
    if (initial > final)
        MensErro(msgPadrao.Msg(QStringLiteral("ProdIniDev")), true);
    return {initial, final, QString(), QString()};
}

void TfrmCadAutPromocao::buildProductList()
{
    // Emptied first: a retry must send only the products chosen this time.
    cdsProduto->close();
    cdsProduto->createDataSet();
    QString rest = stListaProd;
    for (;;) {
        const qsizetype p = rest.indexOf(u'_') + 1; // counted from 1; 0 when absent
        if (p == rest.size() || p == 0)
            break;
        cdsProduto->appendRecord({QVariant(), rest.mid(p, 10), QVariant(), QVariant()});
        rest = rest.mid(p + 10);
    }
}

void TfrmCadAutPromocao::sbtConfirmaClick()
{
    if (rbtLista->isChecked()) {
        Vd_Lista();
    } else if (rbtIntervalo->isChecked()) {
        Vd_ProdIni(true);
        Vd_ProdFin(true);
    }
    if (msgPadrao.ShowMsg(QStringLiteral("Confimar"), MsgKind::Confirmation, {MsgYes, MsgNo}) !=
        MsgYes)
        return;
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    // A prefix marks promotional products, and the server gives it only to
    // products marked so: it is added once the marks are set, and cleared
    // while the products being taken out still carry theirs.
    QVariantList prefixArgs;
    if (chbPrefixo->isChecked()) {
        if (edtPrefixo->text().isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Prefixo_Inf")), true);
        // The period goes after the selection: the names to change are those
        // of the products of this period.
        prefixArgs = QVariantList{edtPrefixo->text()} + selectionArgs() + periodArgs();
    }
    const bool addPrefix = !prefixArgs.isEmpty() && rbtAddPrefixo->isChecked();
    if (!prefixArgs.isEmpty() && !addPrefix) {
        BusyScope busy(6);
        CheckResultServ(screen.netTabePreco->call(QStringLiteral("SetDelPrefixo"), prefixArgs),
                        true, 0);
    }
    const QVariantList selection = selectionArgs();
    auto packet = std::make_shared<DataPacket>();
    if (rbtLista->isChecked() && !stListaProd.isEmpty()) {
        buildProductList();
        *packet = cdsProduto->data();
    }
    const QString promotion =
        rdgPromocaoColocar->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
    {
        BusyScope busy(6);
        CheckResultServ(screen.netTabePreco->call(
                            QStringLiteral("SetUpdItemPrecoAlt"),
                            QVariantList{promotion} + selection +
                                QVariantList{QVariant::fromValue(packet), rbtLista->isChecked()} +
                                periodArgs()),
                        true, 0);
    }
    if (addPrefix) {
        BusyScope busy(6);
        CheckResultServ(screen.netTabePreco->call(QStringLiteral("SetAddPrefixo"), prefixArgs),
                        true, 0);
    }
    HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("AlteracaoOk")),
                                  MsgKind::Information, {MsgOk});
    close();
    BusyScope busy(6);
    screen.loadItemPreco();
}

} // namespace prx
