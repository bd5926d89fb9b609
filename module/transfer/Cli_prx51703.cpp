#include "Cli_prx51703.h"

#include "ui_TfrmImportaTabela.h"

#include "BranchKeyFilter.h"
#include "TransferCalls.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/FocusWatch.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/UserAction.h"
#include "widgets/TBtnPesquisa.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace prx {

namespace Cli_prx51703 {

TfrmImportaTabela *frmImportaTabela = nullptr;
bool boPrimVez = false;

void CriaImportaTabela()
{
    WaitCursor cursor;
    frmImportaTabela = package::buildDialog<TfrmImportaTabela>();
    package::normalThenShowModal(frmImportaTabela);
}

} // namespace Cli_prx51703

TfrmImportaTabela::TfrmImportaTabela(QWidget *parent)
    : TfrmRotiGeral(parent), netImportaTabela(new NetConnection(this)),
      cdsProduto(new ClientDataSet(this)), m_ui(std::make_unique<Ui::TfrmImportaTabela>())
{
    Cli_prx51700::mainScreen(); // the export goes through the screen's connection
    setObjectName(QStringLiteral("frmImportaTabela"));
    setCaption(QStringLiteral("Exportar Tabela de Preço"));
    setScreenCode(QStringLiteral("PRX51703"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgImportaTabela.txt"));
    netImportaTabela->setObjectName(QStringLiteral("netImportaTabela"));
    netImportaTabela->setServerObject(QStringLiteral("Prx51700.rdmTabePreco"));
    netImportaTabela->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };

    auto *body = new QWidget(grbCorpo);
    m_ui->setupUi(body);
    grbCorpo->layout()->addWidget(body);
    grbOrigem = m_ui->grbOrigem;
    grbProd = m_ui->grbProd;
    grbFilial = m_ui->grbFilial;
    grbProduto = m_ui->grbProduto;
    edtFilialOrig = m_ui->edtFilialOrig;
    edtNmFilialOrig = m_ui->edtNmFilialOrig;
    edtTabelaOrig = m_ui->edtTabelaOrig;
    edtNmTabelaOrig = m_ui->edtNmTabelaOrig;
    edtFilialDest = m_ui->edtFilialDest;
    edtNmFilialDest = m_ui->edtNmFilialDest;
    edtTabelaDest = m_ui->edtTabelaDest;
    edtNmTabelaDest = m_ui->edtNmTabelaDest;
    btnFilialOrig = m_ui->btnFilialOrig;
    btnTabelaOrig = m_ui->btnTabelaOrig;
    btnFilialDest = m_ui->btnFilialDest;
    btnTabelaDest = m_ui->btnTabelaDest;
    chbDestino = m_ui->chbDestino;
    chbDestinoFiliais = m_ui->chbDestinoFiliais;
    ckbNovaTab = m_ui->ckbNovaTab;
    lblFilial = m_ui->lblFilial;
    lblTabePrec = m_ui->lblTabePrec;
    lblMensagem = m_ui->lblMensagem;
    rbtTodosProd = m_ui->rbtTodosProd;
    rbtListaProd = m_ui->rbtListaProd;
    rbtListaFilial = m_ui->rbtListaFilial;
    rbtTodosProduto = m_ui->rbtTodosProduto;
    rbtListaProduto = m_ui->rbtListaProduto;
    btpProduto = m_ui->btpProduto;
    btnFilial = m_ui->btnFilial;
    btnProduto = m_ui->btnProduto;
    resize(580, 470);

    // Code edits mark a required entry; name edits only show.
    for (QLineEdit *code : {edtFilialOrig, edtTabelaOrig, edtFilialDest, edtTabelaDest})
        transfer::markRequired(code, true);
    for (QLineEdit *name : {edtNmFilialOrig, edtNmTabelaOrig, edtNmFilialDest, edtNmTabelaDest})
        transfer::markRequired(name, false);

    cdsProduto->setObjectName(QStringLiteral("cdsProduto"));
    cdsProduto->addField(QStringLiteral("IDMARCADO"), FieldType::String, 1);
    // Tree codes run to 20 characters; a narrower field would cut them.
    Field &tree = cdsProduto->addField(QStringLiteral("CDARVPROD"), FieldType::String, 20);
    tree.setDisplayLabel(QStringLiteral("Código"));
    tree.setDisplayWidth(20);
    cdsProduto->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 50)
        .setDisplayLabel(QStringLiteral("Nome"));
    Field &code = cdsProduto->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    code.setDisplayWidth(20);
    code.setVisible(false);
    dtsProduto = new DataSource(cdsProduto, this);
    dtsProduto->setObjectName(QStringLiteral("dtsProduto"));
    buildQueries();
    wire();
}

TfrmImportaTabela::~TfrmImportaTabela()
{
    if (Cli_prx51703::frmImportaTabela == this)
        Cli_prx51703::frmImportaTabela = nullptr;
}

void TfrmImportaTabela::buildQueries()
{
    auto query = [this](const char *name, const QStringList &sql) {
        auto *q = new LocalQuery(this);
        q->setObjectName(QString::fromLatin1(name));
        q->setSql(sql);
        return q;
    };
    auto source = [this](const char *name, ClientDataSet *dataSet) {
        auto *s = new DataSource(dataSet, this);
        s->setObjectName(QString::fromLatin1(name));
        return s;
    };
    auto branchFields = [](LocalQuery *q) {
        q->addField(QStringLiteral("CDFILIAL"), FieldType::String, 4)
            .setDisplayLabel(QStringLiteral("Código"));
        Field &name = q->addField(QStringLiteral("NMFILIAL"), FieldType::String, 30);
        name.setDisplayLabel(QStringLiteral("Nome"));
        name.setDisplayWidth(50);
    };
    qryFilial =
        query("qryFilial", {"SELECT", "   FI.CDFILIAL, FI.NMFILIAL", "FROM", "   FILIAL FI",
                            "WHERE", "  ((FI.CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))",
                            "ORDER BY", "   FI.CDFILIAL"});
    branchFields(qryFilial);
    qryTabela = query("qryTabela", {"SELECT", "   CDFILIAL, CDTABEPREC, NMTABEPREC", "FROM",
                                    "   TABEPREC", "WHERE", "   (CDFILIAL = :P_CDFILIAL) AND",
                                    "   ((CDTABEPREC = :P_CDTABEPREC) OR (:P_TCDTABEPREC = 'T'))",
                                    "ORDER BY", "   CDTABEPREC"});
    qryTabela->addField(QStringLiteral("CDTABEPREC"), FieldType::String, 3)
        .setDisplayLabel(QStringLiteral("Código"));
    qryTabela->addField(QStringLiteral("CDFILIAL"), FieldType::String, 4).setVisible(false);
    Field &tableName = qryTabela->addField(QStringLiteral("NMTABEPREC"), FieldType::String, 20);
    tableName.setDisplayLabel(QStringLiteral("Nome"));
    tableName.setDisplayWidth(30);
    qryPesqTabela = query("qryPesqTabela",
                          {"SELECT ", "   CDTABEPREC", "FROM ", "   TABEPREC", "WHERE",
                           "   (CDFILIAL = :P_CDFILIAL) AND", "   (CDTABEPREC = :P_CDTABEPREC)"});
    qryPesqTabela->addField(QStringLiteral("CDTABEPREC"), FieldType::String, 3);
    qryFilialDest =
        query("qryFilialDest", {"SELECT", "   CDFILIAL, NMFILIAL", "FROM", "   FILIAL", "WHERE",
                                "   (CDFILIAL <> :P_CDFILIAL)", "ORDER BY", "   CDFILIAL"});
    branchFields(qryFilialDest);
    dtsFilial = source("dtsFilial", qryFilial);
    dtsTabela = source("dtsTabela", qryTabela);
    dtsFilialDest = source("dtsFilialDest", qryFilialDest);
}

void TfrmImportaTabela::wire()
{
    auto onChange = [this](QLineEdit *edit, std::function<void()> handler) {
        connect(edit, &QLineEdit::textChanged, this, [handler] { runUserAction(handler); });
    };
    onChange(edtFilialOrig, [this] {
        edtNmFilialOrig->clear();
        edtTabelaOrig->clear();
        stListaFilial.clear();
    });
    onChange(edtTabelaOrig, [this] { edtNmTabelaOrig->clear(); });
    onChange(edtFilialDest, [this] {
        edtNmFilialDest->clear();
        edtTabelaDest->clear();
    });
    onChange(edtTabelaDest, [this] { edtNmTabelaDest->clear(); });

    auto onExit = [this](QWidget *edit, std::function<void()> handler) {
        auto *watch = new FocusWatch(edit, this);
        watch->onExit = std::move(handler);
    };
    onExit(edtFilialOrig, [this] { Vd_FilialOrig(false); });
    onExit(edtTabelaOrig, [this] { Vd_TabelaOrig(false); });
    onExit(edtFilialDest, [this] { Vd_FilialDest(false); });
    onExit(edtTabelaDest, [this] {
        if (ckbNovaTab->isChecked())
            Vd_TabelaDestNova(false);
        else
            Vd_TabelaDest(false);
    });
    m_grbProdWatch = new FocusWatch(grbProd, this);
    m_grbProdWatch->onEnter = [this] { grbProdEnter(); };

    new BranchKeyFilter(edtFilialOrig, this);
    new BranchKeyFilter(edtFilialDest, this);

    auto click = [this](QAbstractButton *button, void (TfrmImportaTabela::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); });
    };
    auto chosen = [this](QAbstractButton *button, void (TfrmImportaTabela::*handler)()) {
        connect(button, &QAbstractButton::toggled, this, [this, handler](bool on) {
            if (on)
                runUserAction([this, handler] { (this->*handler)(); });
        });
    };
    auto changed = [this](QAbstractButton *button, void (TfrmImportaTabela::*handler)()) {
        connect(button, &QAbstractButton::toggled, this,
                [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); });
    };
    changed(chbDestino, &TfrmImportaTabela::chbDestinoClick);
    changed(chbDestinoFiliais, &TfrmImportaTabela::chbDestinoFiliaisClick);
    changed(ckbNovaTab, &TfrmImportaTabela::ckbNovaTabClick);
    chosen(rbtTodosProd, &TfrmImportaTabela::rbtTodosProdClick);
    chosen(rbtListaProd, &TfrmImportaTabela::rbtListaProdClick);
    chosen(rbtTodosProduto, &TfrmImportaTabela::rbtProdutoClick);
    chosen(rbtListaProduto, &TfrmImportaTabela::rbtProdutoClick);
    click(btpProduto, &TfrmImportaTabela::btpProdutoClick);
    click(btnProduto, &TfrmImportaTabela::btnProdutoClick);
    click(btnFilial, &TfrmImportaTabela::btnFilialClick);

    struct Search
    {
        TBtnPesquisa *button;
        QLineEdit *code, *name;
        bool table;
    };
    const Search searches[] = {{btnFilialOrig, edtFilialOrig, edtNmFilialOrig, false},
                               {btnFilialDest, edtFilialDest, edtNmFilialDest, false},
                               {btnTabelaOrig, edtTabelaOrig, edtNmTabelaOrig, true},
                               {btnTabelaDest, edtTabelaDest, edtNmTabelaDest, true}};
    for (const Search &s : searches) {
        s.button->setDataSource(s.table ? dtsTabela : dtsFilial);
        s.button->setTitle(s.table ? (s.code == edtTabelaOrig ? QStringLiteral("Tabela de Preço")
                                                              : QStringLiteral("Tabela Preço"))
                                   : QStringLiteral("Filial"));
        QLineEdit *branch = s.code == edtTabelaOrig ? edtFilialOrig : edtFilialDest;
        s.button->BeforePesq = [this, s, branch](TBtnPesquisa &) {
            if (s.table)
                openTables(branch->text(), QString(), QStringLiteral("T"));
            else
                openBranches(QString(), QStringLiteral("T"));
        };
        s.button->AfterPesq = [this, s](TBtnPesquisa &) {
            ClientDataSet *rows = s.table ? static_cast<ClientDataSet *>(qryTabela) : qryFilial;
            s.code->setText(rows->fieldByName(s.table ? u"CDTABEPREC" : u"CDFILIAL").asString());
            s.name->setText(rows->fieldByName(s.table ? u"NMTABEPREC" : u"NMFILIAL").asString());
        };
    }
}

void TfrmImportaTabela::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    Cli_prx51703::boPrimVez = true;
    netImportaTabela->setConnected(true);
}

// Once, when the dialog is first shown: a later activation (after a message
// box closed) must not undo the mode or the entries the user chose.
void TfrmImportaTabela::FormActivate()
{
    if (m_activated)
        return;
    m_activated = true;
    chbDestino->setChecked(true);
    cdsProduto->fieldByName(u"CDARVPROD").setEditMask(DBPict(0));
    if (Cli_prx51703::boPrimVez) {
        edtFilialOrig->setText(FiliProc());
        edtNmFilialOrig->setText(NomeFiliProc());
        Cli_prx51703::boPrimVez = false;
    }
    edtFilialOrig->setEnabled(!ModuFili());
    btnFilialOrig->setEnabled(!ModuFili());
    if (edtFilialOrig->isEnabled())
        edtFilialOrig->setFocus(Qt::OtherFocusReason);
    else
        edtTabelaOrig->setFocus(Qt::OtherFocusReason);
}

void TfrmImportaTabela::FormDestroy()
{
    TfrmRotiGeral::FormDestroy();
    netImportaTabela->setConnected(false);
}

void TfrmImportaTabela::chbDestinoClick()
{
    const bool on = chbDestino->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{
             ckbNovaTab, lblFilial, lblTabePrec, edtFilialDest, edtTabelaDest, btnFilialDest,
             btnTabelaDest, grbProd, rbtTodosProd, rbtListaProd})
        w->setEnabled(on);
    btpProduto->setEnabled(rbtListaProd->isChecked() && on);
    chbDestinoFiliais->setChecked(!on);
}

void TfrmImportaTabela::chbDestinoFiliaisClick()
{
    const bool on = chbDestinoFiliais->isChecked();
    for (QWidget *w :
         std::initializer_list<QWidget *>{grbFilial, rbtListaFilial, btnFilial, lblMensagem,
                                          grbProduto, rbtTodosProduto, rbtListaProduto})
        w->setEnabled(on);
    btnProduto->setEnabled(on && rbtListaProduto->isChecked());
    chbDestino->setChecked(!on);
}

void TfrmImportaTabela::ckbNovaTabClick()
{
    edtNmTabelaDest->setEnabled(ckbNovaTab->isChecked());
    transfer::markRequired(edtNmTabelaDest, ckbNovaTab->isChecked());
}

void TfrmImportaTabela::rbtTodosProdClick()
{
    stListaProd.clear();
    btpProduto->setEnabled(rbtListaProd->isChecked());
}

void TfrmImportaTabela::rbtListaProdClick()
{
    btpProduto->setEnabled(rbtListaProd->isChecked());
}

void TfrmImportaTabela::rbtProdutoClick()
{
    btnProduto->setEnabled(rbtListaProduto->isChecked());
}

void TfrmImportaTabela::sbtConfirmaClick()
{
    Vd_FilialOrig(true);
    Vd_TabelaOrig(true);
    QString question;
    const bool oneBranch = chbDestino->isChecked();
    if (oneBranch) {
        Vd_FilialDest(true);
        Vd_Produto();
        if (rbtListaProd->isChecked() && stListaProd.isEmpty())
            fail(rbtListaProd, QStringLiteral("Prod_N_Sel"));
        stTipoProd = rbtTodosProd->isChecked() ? QStringLiteral("T") : QStringLiteral("L");
        question = QStringLiteral("CONFIR");
        if (ckbNovaTab->isChecked()) {
            Vd_TabelaDestNova(true);
            Vd_NomeTabela();
        } else {
            Vd_TabelaDest(true);
        }
        if (edtTabelaDest->text() == edtTabelaOrig->text() &&
            edtFilialDest->text() == edtFilialOrig->text())
            fail(edtTabelaDest, QStringLiteral("TAB_IGUAL"));
    } else {
        question = QStringLiteral("CONFIR2");
        if (rbtListaFilial->isChecked() && stListaFilial.isEmpty())
            fail(rbtListaFilial, QStringLiteral("Fili_Des_Inf"));
        if (rbtListaProduto->isChecked() && stListaProduto.isEmpty())
            fail(rbtListaProduto, QStringLiteral("Prod_N_Sel"));
    }
    if (msgPadrao.ShowMsg(question, MsgKind::Confirmation, {MsgYes, MsgNo}) != MsgYes)
        return;

    NetConnection *net = Cli_prx51700::mainScreen().netTabePreco;
    {
        BusyScope busy(6);
        if (oneBranch) {
            transfer::callServer(net, QStringLiteral("setConfirmar"),
                                 {ckbNovaTab->isChecked(), edtFilialDest->text(),
                                  edtTabelaDest->text(), edtNmTabelaDest->text(),
                                  edtFilialOrig->text(), edtTabelaOrig->text(), stListaProd,
                                  stTipoProd});
            // A new table brings periods, items and differentiated prices.
            AtualizaLocalCache({QStringLiteral("TABEPREC"), QStringLiteral("TABEVEND"),
                                QStringLiteral("ITEMPRECO"), QStringLiteral("ITEMPRECODIA")});
        } else {
            transfer::callServer(net, QStringLiteral("setConfirmar2"),
                                 {edtFilialOrig->text(), edtTabelaOrig->text(), stListaFilial,
                                  stListaProduto, rbtListaProduto->isChecked()});
            AtualizaLocalCache({QStringLiteral("ITEMPRECO"), QStringLiteral("ITEMPRECODIA")});
        }
    }
    msgPadrao.ShowMsg(QStringLiteral("ImpOk"), MsgKind::Information, {MsgOk});
    accept();
    Cli_prx51700::mainScreen().sbtVerificarClick();
}

} // namespace prx
