#include "Cli_prx51707.h"

#include "ui_TfrmCadAutPrecoDeferenciado.h"

#include "autoprice/SkippedProducts.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/FocusWatch.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/CustProd.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TNumberEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTime>

#include <optional>

namespace prx {

namespace Cli_prx51707 {

TfrmCadAutPrecoDeferenciado *frmCadAutPrecoDeferenciado = nullptr;
bool boStCriado = false;
QString stErro;
QString stPesqProd;
QString stTipoCons;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
    ~Unit()
    {
        stErro.clear();
        stPesqProd.clear();
        stTipoCons.clear();
    }
};
const Unit unit;

} // namespace

void CriaCadAutPrecoDeferenciado()
{
    // The dialog works on the screen's current period: without one there is
    // nothing to generate for, and the header would read a closed dataset.
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    if (!screen.cdsTabeVend->isActive() || screen.cdsTabeVend->isEmpty()) {
        MensErro(QStringLiteral("Selecione uma vigência da tabela de preços antes de cadastrar "
                                "preços diferenciados."),
                 true);
    }
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutPrecoDeferenciado, boStCriado);
}

} // namespace Cli_prx51707

using namespace Cli_prx51707;

TfrmCadAutPrecoDeferenciado::TfrmCadAutPrecoDeferenciado(QWidget *parent)
    : TfrmRotiGeral(parent), cdsProduto(new ClientDataSet(this)),
      cdsProdAux(new ClientDataSet(this)), dtsProduto(new DataSource(cdsProduto, this)),
      dtsTipoCons(new DataSource(this)), qryTipoCons(new LocalQuery(this)),
      qryTipoConsFili(new LocalQuery(this)),
      m_ui(std::make_unique<Ui::TfrmCadAutPrecoDeferenciado>())
{
    Cli_prx51700::mainScreen(); // works on the screen's current period
    setObjectName(QStringLiteral("frmCadAutPrecoDeferenciado"));
    setCaption(QStringLiteral("Cadastro Automático de Preços Diferenciados"));
    setScreenCode(QStringLiteral("PRX51707"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgCadAutPrecoDeferenciado.txt"));
    const std::pair<QObject *, const char *> names[] = {
        {cdsProduto, "cdsProduto"},   {cdsProdAux, "cdsProdAux"},
        {dtsProduto, "dtsProduto"},   {dtsTipoCons, "dtsTipoCons"},
        {qryTipoCons, "qryTipoCons"}, {qryTipoConsFili, "qryTipoConsFili"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (ClientDataSet *ds : {cdsProduto, cdsProdAux}) {
        ds->addField(QStringLiteral("IDMARCADO"), FieldType::String, 1);
        Field &code = ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
        code.setDisplayLabel(QStringLiteral("Código"));
        code.setVisible(false);
        ds->addField(QStringLiteral("CDARVPROD"), FieldType::String, 20)
            .setDisplayLabel(QStringLiteral("Produto"));
        ds->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 50)
            .setDisplayLabel(QStringLiteral("Nome"));
    }
    qryTipoCons->setSql({QStringLiteral("SELECT CDTIPOCONS, NMTIPOCONS"),
                         QStringLiteral("   FROM TIPOCONS"), QStringLiteral("WHERE"),
                         QStringLiteral("   ((CDTIPOCONS = :P_CDTIPOCONS) OR  (:P_TCDTIPOCONS =  "
                                        "'T'))"),
                         QStringLiteral("   ORDER BY CDTIPOCONS")});
    qryTipoConsFili->setSql(
        {QStringLiteral("SELECT"), QStringLiteral("  T.CDTIPOCONS, T.NMTIPOCONS"),
         QStringLiteral("FROM"), QStringLiteral("   TIPOCONS T, TIPOCONSFILI TF"),
         QStringLiteral("WHERE"), QStringLiteral("   (TF.CDFILIAL   = :P_CDFILIAL) AND"),
         QStringLiteral("   (TF.CDTIPOCONS = T.CDTIPOCONS)"),
         QStringLiteral("ORDER BY T.CDTIPOCONS")});
    // The search window titles its columns with the fields' labels.
    for (LocalQuery *q : {qryTipoCons, qryTipoConsFili}) {
        Field &code = q->addField(QStringLiteral("CDTIPOCONS"), FieldType::String, 2);
        code.setDisplayLabel(QStringLiteral("Código"));
        code.setDisplayWidth(6);
        Field &name = q->addField(QStringLiteral("NMTIPOCONS"), FieldType::String, 20);
        name.setDisplayLabel(QStringLiteral("Nome"));
        name.setDisplayWidth(25);
    }

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    Ui::TfrmCadAutPrecoDeferenciado &u = *m_ui;
    dbtCdTabe = u.dbtCdTabe;
    dbtNmTabe = u.dbtNmTabe;
    dbtIniVigencia = u.dbtIniVigencia;
    dbtFinVigencia = u.dbtFinVigencia;
    rbtTodos = u.rbtTodos;
    rbtLista = u.rbtLista;
    rbtIntervalo = u.rbtIntervalo;
    btnListaProd = u.btnListaProd;
    btnProdutoIni = u.btnProdutoIni;
    btnProdutoFim = u.btnProdutoFim;
    btnListaTipoConsumidor = u.btnListaTipoConsumidor;
    medProdIni = u.medProdIni;
    medProdFim = u.medProdFim;
    medHorarioDe = u.medHorarioDe;
    medHorarioAte = u.medHorarioAte;
    edtNomeIni = u.edtNomeIni;
    edtNomeFim = u.edtNomeFim;
    edtCdTipoConsumidor = u.edtCdTipoConsumidor;
    edtNmTipoConsumidor = u.edtNmTipoConsumidor;
    chbTodosDias = u.chbTodosDias;
    chbFeriado = u.chbFeriado;
    chbVesperaFeriado = u.chbVesperaFeriado;
    chbDomingo = u.chbDomingo;
    chbSegunda = u.chbSegunda;
    chbTerca = u.chbTerca;
    chbQuarta = u.chbQuarta;
    chbQuinta = u.chbQuinta;
    chbSexta = u.chbSexta;
    chbSabado = u.chbSabado;
    rdgDesAcrDesconto = u.rdgDesAcrDesconto;
    rdgDesAcrAcrescimo = u.rdgDesAcrAcrescimo;
    rdgValPerValor = u.rdgValPerValor;
    rdgValPerPercentual = u.rdgValPerPercentual;
    rdgVisualizaSim = u.rdgVisualizaSim;
    rdgVisualizaNao = u.rdgVisualizaNao;
    numValPer = u.numValPer;
    depValidadeDe = u.depValidadeDe;
    depValidadeAte = u.depValidadeAte;
    numValPer->setDecimals(2);
    numValPer->setThousands(false);

    // The header follows the screen's current period.
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    dbtCdTabe->setText(screen.cdsTabeVend->fieldByName(u"CDTABEPREC").asString());
    dbtNmTabe->setText(screen.cdsTabePrec->isActive()
                           ? screen.cdsTabePrec->fieldByName(u"NMTABEPREC").asString()
                           : QString());
    dbtIniVigencia->setText(screen.cdsTabeVendDTINIVGPREC->asDateTime().toString(u"dd/MM/yyyy"));
    dbtFinVigencia->setText(screen.cdsTabeVendDTFINVGPREC->asDateTime().toString(u"dd/MM/yyyy"));

    for (QRadioButton *mode : {rbtTodos, rbtLista, rbtIntervalo}) {
        connect(mode, &QRadioButton::clicked, this,
                [this, mode] { runUserAction([this, mode] { rbtProdutoClick(mode); }); });
    }
    connect(chbTodosDias, &QCheckBox::clicked, this,
            [this] { runUserAction([this] { chbTodosDiasClick(); }); });
    btnListaProd->BeforePesq = [this](TBtnPesquisa &) { btnListaProdClick(); };
    const std::tuple<TBtnPesquisa *, MaskEdit *, QLineEdit *> interval[] = {
        {btnProdutoIni, medProdIni, edtNomeIni}, {btnProdutoFim, medProdFim, edtNomeFim}};
    for (const auto &[button, edit, name] : interval) {
        button->setDataSource(dtsProduto);
        button->setTitle(QStringLiteral("Produto"));
        button->BeforePesq = [this](TBtnPesquisa &) {
            cdsProduto->fieldByName(u"IDMARCADO").setVisible(false);
            loadProducts();
        };
        button->AfterPesq = [this, edit, name](TBtnPesquisa &) {
            edit->setText(cdsProduto->fieldByName(u"CDARVPROD").asString());
            name->setText(cdsProduto->fieldByName(u"NMPRODUTO").asString());
        };
        connect(edit, &QLineEdit::textEdited, name, &QLineEdit::clear);
    }
    auto *iniWatch = new FocusWatch(medProdIni, this);
    iniWatch->onExit = [this] { vd_ProdIni(false); };
    iniWatch->refocus = medProdIni;
    auto *fimWatch = new FocusWatch(medProdFim, this);
    fimWatch->onExit = [this] { vd_ProdFin(false); };
    fimWatch->refocus = medProdFim;

    btnListaTipoConsumidor->setDataSource(dtsTipoCons);
    btnListaTipoConsumidor->setTitle(
        QStringLiteral("Tipo de Consumidor|Não há tipo de consumidores registrados!"));
    btnListaTipoConsumidor->BeforePesq = [this](TBtnPesquisa &) {
        qryTipoConsFili->close();
        qryTipoConsFili->setParam(QStringLiteral("P_CDFILIAL"),
                                  Cli_prx51700::mainScreen().medCdFilial->text());
        qryTipoConsFili->open();
        if (qryTipoConsFili->isEmpty()) {
            qryTipoCons->close();
            qryTipoCons->setParam(QStringLiteral("P_CDTIPOCONS"), QString());
            qryTipoCons->setParam(QStringLiteral("P_TCDTIPOCONS"), QStringLiteral("T"));
            qryTipoCons->open();
            dtsTipoCons->setDataSet(qryTipoCons);
        } else {
            dtsTipoCons->setDataSet(qryTipoConsFili);
        }
    };
    btnListaTipoConsumidor->AfterPesq = [this](TBtnPesquisa &) {
        ClientDataSet *chosen = dtsTipoCons->dataSet();
        edtCdTipoConsumidor->setText(chosen->fieldByName(u"CDTIPOCONS").asString());
        edtNmTipoConsumidor->setText(chosen->fieldByName(u"NMTIPOCONS").asString());
    };
    connect(edtCdTipoConsumidor, &QLineEdit::textEdited, edtNmTipoConsumidor, &QLineEdit::clear);
    auto *consWatch = new FocusWatch(edtCdTipoConsumidor, this);
    consWatch->onExit = [this] { Vd_TipoCons(); };
    consWatch->refocus = edtCdTipoConsumidor;
    for (TDateEditPlus *date : {depValidadeDe, depValidadeAte}) {
        auto *watch = new FocusWatch(date, this);
        watch->onExit = [date] { date->CheckValidDate(); };
    }
    resize(580, 560);
}

TfrmCadAutPrecoDeferenciado::~TfrmCadAutPrecoDeferenciado()
{
    // The focus leaves while every control still exists: a date edit that
    // loses it while being freed would signal from a half-destroyed widget.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
    package::forgetBuiltOnce(this, frmCadAutPrecoDeferenciado, boStCriado);
}

void TfrmCadAutPrecoDeferenciado::showEvent(QShowEvent *event)
{
    TfrmRotiGeral::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    const QString mask = DBPict(0);
    cdsProduto->fieldByName(u"CDARVPROD").setEditMask(mask);
    medProdIni->setEditMask(mask);
    medProdFim->setEditMask(mask);
    medHorarioDe->setEditMask(QStringLiteral("!99:99;1; "));
    medHorarioAte->setEditMask(QStringLiteral("!99:99;1; "));
    medHorarioDe->setText(QStringLiteral("00:01"));
    medHorarioAte->setText(QStringLiteral("23:59"));
    stPesqProd.clear();
}

void TfrmCadAutPrecoDeferenciado::FormClose()
{
    TfrmRotiGeral::FormClose();
    boStCriado = false;
}

void TfrmCadAutPrecoDeferenciado::rbtProdutoClick(QRadioButton *clicked)
{
    btnListaProd->setEnabled(rbtLista->isChecked());
    const bool interval = rbtIntervalo->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{btnProdutoIni, btnProdutoFim, medProdIni, medProdFim})
        w->setEnabled(interval);
    if (clicked != rbtLista)
        stPesqProd.clear();
}

QList<QCheckBox *> TfrmCadAutPrecoDeferenciado::dayBoxes() const
{
    return {chbFeriado, chbVesperaFeriado, chbDomingo, chbSegunda, chbTerca,
            chbQuarta,  chbQuinta,         chbSexta,   chbSabado};
}

// Only disables the other boxes: what they hold is still sent.
void TfrmCadAutPrecoDeferenciado::chbTodosDiasClick()
{
    for (QCheckBox *box : dayBoxes())
        box->setEnabled(!chbTodosDias->isChecked());
}

void TfrmCadAutPrecoDeferenciado::loadProducts()
{
    BusyScope busy(6);
    SQL_Pesquisa_Produto_CDS(Cli_prx51700::mainScreen().medCdFilial->text(), *cdsProduto, stErro);
    // A failed read must not pass for a branch without products.
    if (!stErro.isEmpty())
        MensErro(stErro, true);
}

void TfrmCadAutPrecoDeferenciado::btnListaProdClick()
{
    cdsProduto->fieldByName(u"IDMARCADO").setVisible(true);
    loadProducts();
    HostUi::instance().pesquisaLista(*dtsProduto, QStringLiteral("CDPRODUTO"),
                                     msgPadrao.Msg(QStringLiteral("PROD")) + u'|' +
                                         msgPadrao.Msg(QStringLiteral("PRODINV")),
                                     &stPesqProd);
}

void TfrmCadAutPrecoDeferenciado::checkProduct(MaskEdit *edit, QLineEdit *name,
                                               const char *emptyKey, bool required)
{
    try {
        const QString code = edit->text();
        if (EmptyString(code)) {
            if (required)
                MensErro(msgPadrao.Msg(QString::fromLatin1(emptyKey)), true);
            return;
        }
        if (!cdsProduto->isActive())
            loadProducts();
        if (!cdsProduto->locate(u"CDARVPROD", code, LocateOptions{true, false}))
            MensErro(msgPadrao.Msg(QStringLiteral("PRODNCAD")), true);
        name->setText(cdsProduto->fieldByName(u"NMPRODUTO").asString());
    } catch (...) {
        if (edit->isEnabled())
            edit->setFocus();
        throw;
    }
}

void TfrmCadAutPrecoDeferenciado::vd_ProdIni(bool required)
{
    checkProduct(medProdIni, edtNomeIni, "PRODNINF", required);
}

void TfrmCadAutPrecoDeferenciado::vd_ProdFin(bool required)
{
    checkProduct(medProdFim, edtNomeFim, "PRODNFIM", required);
}

// Checked against every consumer type, not only the branch's.
void TfrmCadAutPrecoDeferenciado::Vd_TipoCons()
{
    try {
        if (EmptyString(edtCdTipoConsumidor->text())) {
            stTipoCons = QStringLiteral("T");
            return;
        }
        const QString code = Ajusta(edtCdTipoConsumidor->text(), 2);
        edtCdTipoConsumidor->setText(code);
        qryTipoCons->close();
        qryTipoCons->setParam(QStringLiteral("P_TCDTIPOCONS"), QString());
        qryTipoCons->setParam(QStringLiteral("P_CDTIPOCONS"), code);
        qryTipoCons->open();
        if (qryTipoCons->isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Cons_n_Cad")), true);
        stTipoCons = code;
        edtNmTipoConsumidor->setText(qryTipoCons->fieldByName(u"NMTIPOCONS").asString());
    } catch (...) {
        edtCdTipoConsumidor->setFocus();
        throw;
    }
}

void TfrmCadAutPrecoDeferenciado::checkHour(MaskEdit *edit, const char *emptyKey)
{
    const QString text = edit->text();
    // An edit left as its mask shows only the separator: that is no hour.
    if (EmptyString(QString(text).remove(u':'))) {
        edit->setFocus();
        MensErro(msgPadrao.Msg(QString::fromLatin1(emptyKey)), true);
    }
    if (!QTime::fromString(text, QStringLiteral("HH:mm")).isValid()) {
        edit->setFocus();
        MensErro(u'\'' + edit->shownText() + QStringLiteral("' ") +
                     msgPadrao.Msg(QStringLiteral("HORAINV")),
                 true);
    }
}

void TfrmCadAutPrecoDeferenciado::vd_HoraDe()
{
    checkHour(medHorarioDe, "HORINIINF");
}

void TfrmCadAutPrecoDeferenciado::vd_HoraAte()
{
    checkHour(medHorarioAte, "HORFININF");
}

void TfrmCadAutPrecoDeferenciado::vd_Horario()
{
    if (medHorarioDe->text() > medHorarioAte->text()) {
        medHorarioDe->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("HORARIO")), true);
    }
}

void TfrmCadAutPrecoDeferenciado::Vd_Validade()
{
    depValidadeDe->CheckValidDate();
    depValidadeAte->CheckValidDate();
    const QDate from = depValidadeDe->date(), to = depValidadeAte->date();
    if (from.isValid() && to.isValid() && to < from)
        MensErro(msgPadrao.Msg(QStringLiteral("ValDe")), true);
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    // An empty date is outside every period.
    if (!from.isValid() || from < screen.cdsTabeVendDTINIVGPREC->asDateTime().date()) {
        depValidadeDe->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("DTVALIDADEINI")), true);
    }
    const QDate periodEnd = screen.cdsTabeVendDTFINVGPREC->asDateTime().date();
    if (!to.isValid() || (periodEnd.isValid() && to > periodEnd)) {
        depValidadeAte->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("DTVALIDADEFIN")), true);
    }
}

void TfrmCadAutPrecoDeferenciado::Vd_DiaChecked()
{
    if (chbTodosDias->isChecked())
        return;
    for (QCheckBox *box : dayBoxes()) {
        if (box->isChecked())
            return;
    }
    chbTodosDias->setFocus();
    MensErro(msgPadrao.Msg(QStringLiteral("DIAINF")), true);
}

void TfrmCadAutPrecoDeferenciado::vd_ValorouPercentual()
{
    if (rdgValPerValor->isChecked() && (!numValPer->hasValue() || numValPer->value() <= 0)) {
        numValPer->setFocus();
        MensErro(msgPadrao.Msg(QStringLiteral("VALINF")), true);
    }
}

void TfrmCadAutPrecoDeferenciado::vd_Valor()
{
    if (!rdgValPerPercentual->isChecked())
        return;
    const double v = numValPer->value();
    if (v <= 0 || v >= 100) {
        numValPer->setFocus();
        MensErro(msgPadrao.Msg(rdgDesAcrDesconto->isChecked() ? QStringLiteral("VRDESC")
                                                              : QStringLiteral("VRACRE")),
                 true);
    }
}

void TfrmCadAutPrecoDeferenciado::buildProductList(const QString &list)
{
    // Emptied first: a retry must send only the products chosen this time.
    cdsProdAux->close();
    cdsProdAux->createDataSet();
    QString rest = list;
    for (;;) {
        const qsizetype p = rest.indexOf(u'_') + 1; // counted from 1; 0 when absent
        if (p == 0 || p == rest.size())
            break;
        cdsProdAux->appendRecord({QVariant(), rest.mid(p, 10), QVariant(), QVariant()});
        rest = rest.mid(p + 10);
    }
}

void TfrmCadAutPrecoDeferenciado::sbtConfirmaClick()
{
    const QString hourFrom = medHorarioDe->text(), hourTo = medHorarioAte->text();
    if (rbtIntervalo->isChecked()) {
        vd_ProdIni(true);
        vd_ProdFin(true);
    }
    if (rbtLista->isChecked() && EmptyString(stPesqProd))
        MensErro(msgPadrao.Msg(QStringLiteral("PRODINF")), true);
    Vd_DiaChecked();
    vd_ValorouPercentual();
    vd_HoraDe();
    vd_HoraAte();
    vd_Horario();
    Vd_Validade();
    vd_Valor();
    Vd_TipoCons();
    if (msgPadrao.ShowMsg(QStringLiteral("CONF"), MsgKind::Confirmation, {MsgYes, MsgNo}) != MsgYes)
        return;

    auto packet = std::make_shared<DataPacket>();
    if (rbtLista->isChecked()) {
        const QString list = stPesqProd;
        stPesqProd.clear();
        if (!EmptyString(list)) {
            buildProductList(list);
            *packet = cdsProdAux->data();
        }
    }
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    std::optional<BusyScope> busy;
    busy.emplace(1, msgPadrao.Msg(QStringLiteral("Prec_Inf")));
    const QVariantList args = {chbTodosDias->isChecked(),
                               chbVesperaFeriado->isChecked(),
                               chbFeriado->isChecked(),
                               chbDomingo->isChecked(),
                               chbSegunda->isChecked(),
                               chbTerca->isChecked(),
                               chbQuarta->isChecked(),
                               chbQuinta->isChecked(),
                               chbSexta->isChecked(),
                               chbSabado->isChecked(),
                               rbtLista->isChecked(),
                               rbtTodos->isChecked(),
                               rbtIntervalo->isChecked(),
                               rdgDesAcrDesconto->isChecked() ? 0 : 1,
                               rdgValPerValor->isChecked() ? 0 : 1,
                               screen.cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
                               screen.cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                               medProdFim->text(),
                               medProdIni->text(),
                               hourFrom,
                               hourTo,
                               wallClock(depValidadeDe->date(), QTime(0, 0)),
                               wallClock(depValidadeAte->date(), QTime(0, 0)),
                               screen.cdsTabeVendDTINIVGPREC->asDateTime(),
                               numValPer->value(),
                               stPesqProd,
                               QVariant::fromValue(packet),
                               stTipoCons,
                               rdgVisualizaSim->isChecked() ? 0 : 1};
    const QVariant answer =
        CheckResultServ(screen.netTabePreco->call(QStringLiteral("SetPrecDif"), args), true, 0);
    AtualizaLocalCache({QStringLiteral("ITEMPRECODIA")});
    // Kept apart: the dialog closes before the products skipped are told.
    const TMessages messages = msgPadrao;
    close();
    screen.loadPrecoHora();
    screen.loadItemPreco();
    busy.reset();
    // Products that got no differentiated price are no success: the user is
    // told how many and may see which.
    autoprice::tellSkipped(answer, messages);
}

} // namespace prx
