#include "TfrmListaPreco.h"

#include "ui_TfrmListaPreco.h"

#include "PriceList.h"
#include "PriceListSource.h"
#include "report/ReportProgress.h"

#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "net/NetConnection.h"
#include "services/HostState.h"
#include "services/HostUi.h"
#include "services/ReportContext.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/TBtnPesquisa.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

namespace prx {

using pricelist::Price;

namespace {

QString periodState(const TMessages &msg, QStringView code)
{
    static const std::pair<const char16_t *, const char *> states[] = {
        {u"1", "PENDENTE"}, {u"2", "LIBERADA"}, {u"3", "CONFIRMADA"}, {u"4", "APROVADA"}};
    for (const auto &[c, key] : states) {
        if (code == QStringView(c))
            return msg.Msg(QString::fromLatin1(key));
    }
    return code.toString();
}

QPushButton *commandButton(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// The search windows show the code and the name only.
void showCodeAndName(ClientDataSet *ds, QStringView code, QStringView name)
{
    for (int i = 0; i < ds->fieldCount(); ++i)
        ds->field(i).setVisible(false);
    for (auto [field, label] :
         {std::pair{code, QStringLiteral("Código")}, std::pair{name, QStringLiteral("Nome")}}) {
        if (Field *f = ds->findField(field)) {
            f->setVisible(true);
            f->setDisplayLabel(label);
        }
    }
}

} // namespace

TfrmListaPreco::TfrmListaPreco(QWidget *parent)
    : TfrmDadosGerRel(parent), netListaPreco(new NetConnection(this)),
      cdsFilial(new ClientDataSet(this)), cdsTabePrec(new ClientDataSet(this)),
      dtsFilial(new DataSource(cdsFilial, this)), dtsTabePrec(new DataSource(cdsTabePrec, this)),
      m_ui(std::make_unique<Ui::TfrmListaPreco>())
{
    setObjectName(QStringLiteral("frmListaPreco"));
    setTitle(kTitle);
    setScreenCode(QStringLiteral("PRX51701"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51701/msgListaPreco.txt"));

    auto *panel = new QWidget(grbParametros);
    m_ui->setupUi(panel);
    layParametros->addRow(panel);
    medCdFilial = m_ui->medCdFilial;
    edtNmFilial = m_ui->edtNmFilial;
    medCdTabePrec = m_ui->medCdTabePrec;
    edtNmTabePrec = m_ui->edtNmTabePrec;
    edtArquivo = m_ui->edtArquivo;
    btpFilial = m_ui->btpFilial;
    btpTabePrec = m_ui->btpTabePrec;
    cmbVigencia = m_ui->cmbVigencia;
    rbtCodigo = m_ui->rbtCodigo;
    rbtNome = m_ui->rbtNome;
    chbConsumidor = m_ui->chbConsumidor;
    chbSubsidiado = m_ui->chbSubsidiado;
    chbDelivery = m_ui->chbDelivery;
    chbComanda = m_ui->chbComanda;
    chbCalculado = m_ui->chbCalculado;
    chbPrecoDif = m_ui->chbPrecoDif;
    chbPromocao = m_ui->chbPromocao;
    chbComPreco = m_ui->chbComPreco;
    btnArquivo = m_ui->btnArquivo;
    cmbVigencia->setMinimumWidth(320);

    // Print and save sit beside the base's preview, before "Fechar".
    btnImprimir = commandButton(this, "btnImprimir", QStringLiteral("&Imprimir"));
    btnSalvarPdf = commandButton(this, "btnSalvarPdf", QStringLiteral("&Salvar PDF"));
    if (auto *buttons = findChild<QHBoxLayout *>(QStringLiteral("layBotoes"))) {
        const int at = buttons->indexOf(btnFechar);
        buttons->insertWidget(at, btnSalvarPdf);
        buttons->insertWidget(at, btnImprimir);
    }
    auto guarded = [this](void (TfrmListaPreco::*handler)()) {
        return [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); };
    };
    connect(btnImprimir, &QPushButton::clicked, this, guarded(&TfrmListaPreco::btnImprimirClick));
    connect(btnSalvarPdf, &QPushButton::clicked, this, guarded(&TfrmListaPreco::btnSalvarPdfClick));
    connect(btnArquivo, &QPushButton::clicked, this, guarded(&TfrmListaPreco::btnArquivoClick));
    connect(medCdFilial, &QLineEdit::editingFinished, this,
            guarded(&TfrmListaPreco::medCdFilialExit));
    connect(medCdTabePrec, &QLineEdit::editingFinished, this,
            guarded(&TfrmListaPreco::medCdTabePrecExit));

    netListaPreco->setObjectName(QStringLiteral("netListaPreco"));
    netListaPreco->setServerObject(QString::fromLatin1(pricelist::PriceListSource::kServerObject));
    netListaPreco->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };
    cdsFilial->setObjectName(QStringLiteral("cdsFilial"));
    cdsTabePrec->setObjectName(QStringLiteral("cdsTabePrec"));

    btpFilial->setDataSource(dtsFilial);
    btpFilial->setTitle(QStringLiteral("Filiais|Nenhuma filial cadastrada."));
    btpFilial->BeforePesq = [this](TBtnPesquisa &) {
        BusyScope busy(6);
        cdsFilial->loadPacket(std::move(*pricelist::PriceListSource(*netListaPreco).allBranches()));
        showCodeAndName(cdsFilial, u"CDFILIAL", u"NMFILIAL");
    };
    btpFilial->AfterPesq = [this](TBtnPesquisa &) {
        medCdFilial->setText(cdsFilial->fieldByName(u"CDFILIAL").asString());
        medCdFilialExit();
    };
    btpTabePrec->setDataSource(dtsTabePrec);
    btpTabePrec->setTitle(QStringLiteral("Tabelas de Preço|Nenhuma tabela de preço na filial."));
    btpTabePrec->BeforePesq = [this](TBtnPesquisa &) {
        if (!lookUpBranch())
            fail(medCdFilial, msgPadrao.Msg(QStringLiteral("FILI_ANTES")));
    };
    btpTabePrec->AfterPesq = [this](TBtnPesquisa &) {
        medCdTabePrec->setText(cdsTabePrec->fieldByName(u"CDTABEPREC").asString());
        medCdTabePrecExit();
    };
}

TfrmListaPreco::~TfrmListaPreco()
{
    netListaPreco->setConnected(false);
}

void TfrmListaPreco::FormCreate()
{
    TfrmDadosGerRel::FormCreate();
    const ReportContext context = ReportContext::current();
    medCdFilial->setText(context.branch.isEmpty() ? FiliProc() : context.branch);
    medCdTabePrec->setText(context.table);
    if (lookUpBranch() && lookUpTable())
        loadPeriods(context.periodStart);
    setFixedSize(sizeHint().expandedTo(QSize(520, 360)));
}

void TfrmListaPreco::fail(QWidget *control, const QString &text)
{
    if (control && control->isEnabled())
        control->setFocus(Qt::OtherFocusReason);
    MensErro(text, true);
}

// The branch typed: its name, its segment and its tables. False, with the
// name cleared, when it is empty or unknown.
bool TfrmListaPreco::lookUpBranch()
{
    const QString code = Ajusta(medCdFilial->text(), 4);
    if (code != medCdFilial->text())
        medCdFilial->setText(code);
    if (!code.isEmpty() && code == m_branchLoaded)
        return true;
    m_branchLoaded.clear();
    m_segment.clear();
    edtNmFilial->clear();
    cdsTabePrec->close();
    if (code.isEmpty())
        return false;
    pricelist::PriceListSource source(*netListaPreco);
    BusyScope busy(6);
    const DataPacketPtr branch = source.branch(code);
    if (branch->rowCount() == 0)
        return false;
    edtNmFilial->setText(branch->string(0, branch->indexOf(u"NMFILIAL")));
    m_segment = branch->string(0, branch->indexOf(u"CDSEGMER"));
    cdsTabePrec->loadPacket(std::move(*source.tables(code)));
    showCodeAndName(cdsTabePrec, u"CDTABEPREC", u"NMTABEPREC");
    m_branchLoaded = code;
    return true;
}

// The table typed, among the branch's: its name. False when it is empty or
// the branch has no such table.
bool TfrmListaPreco::lookUpTable()
{
    const QString code = Ajusta(medCdTabePrec->text(), 3);
    if (code != medCdTabePrec->text())
        medCdTabePrec->setText(code);
    edtNmTabePrec->clear();
    if (code.isEmpty() || m_branchLoaded.isEmpty() || !cdsTabePrec->isActive())
        return false;
    if (!cdsTabePrec->locate(u"CDTABEPREC", code))
        return false;
    edtNmTabePrec->setText(cdsTabePrec->fieldByName(u"NMTABEPREC").asString());
    return true;
}

// The table's periods, oldest first; the one wanted is chosen, else the one
// in force today, else the latest.
void TfrmListaPreco::loadPeriods(const QDateTime &wanted)
{
    cmbVigencia->clear();
    m_periodsOf = m_branchLoaded + u'/' + medCdTabePrec->text();
    BusyScope busy(6);
    const DataPacketPtr periods =
        pricelist::PriceListSource(*netListaPreco).periods(m_branchLoaded, medCdTabePrec->text());
    const int cStart = periods->indexOf(u"DTINIVGPREC"), cEnd = periods->indexOf(u"DTFINVGPREC"),
              cState = periods->indexOf(u"IDSITVGPREC");
    const QDate today = QDate::currentDate();
    int chosen = -1, inForce = -1;
    for (int r = 0; r < periods->rowCount(); ++r) {
        const QDateTime start =
            periods->isNull(r, cStart) ? QDateTime() : periods->dateTime(r, cStart);
        const QDateTime end = periods->isNull(r, cEnd) ? QDateTime() : periods->dateTime(r, cEnd);
        QString text = start.toString(u"dd/MM/yyyy");
        text += end.isValid() ? QStringLiteral(" a ") + end.toString(u"dd/MM/yyyy")
                              : QStringLiteral(" em diante");
        text += QStringLiteral(" - ") + periodState(msgPadrao, periods->stringView(r, cState));
        cmbVigencia->addItem(text, QVariant::fromValue(QList<QDateTime>{start, end}));
        if (wanted.isValid() && start == wanted)
            chosen = r;
        if (start.date() <= today && (!end.isValid() || today <= end.date()))
            inForce = r;
    }
    if (chosen < 0)
        chosen = inForce >= 0 ? inForce : cmbVigencia->count() - 1;
    cmbVigencia->setCurrentIndex(chosen);
}

void TfrmListaPreco::medCdFilialExit()
{
    const QString before = m_branchLoaded;
    lookUpBranch();
    if (m_branchLoaded != before || m_branchLoaded.isEmpty())
        medCdTabePrecExit();
}

void TfrmListaPreco::medCdTabePrecExit()
{
    const QList<QDateTime> current = cmbVigencia->currentData().value<QList<QDateTime>>();
    if (lookUpTable())
        loadPeriods(current.value(0));
    else {
        cmbVigencia->clear();
        m_periodsOf.clear();
    }
}

void TfrmListaPreco::validate(bool needFile)
{
    if (EmptyString(medCdFilial->text()))
        fail(medCdFilial, msgPadrao.Msg(QStringLiteral("FILI_INF")));
    if (!lookUpBranch()) {
        fail(medCdFilial, msgPadrao.Msg(QStringLiteral("FILI_N_CAD")).arg(medCdFilial->text()));
    }
    if (EmptyString(medCdTabePrec->text()))
        fail(medCdTabePrec, msgPadrao.Msg(QStringLiteral("TABE_INF")));
    if (!lookUpTable()) {
        cmbVigencia->clear();
        m_periodsOf.clear();
        fail(medCdTabePrec, msgPadrao.Msg(QStringLiteral("TABE_N_CAD"))
                                .arg(medCdTabePrec->text(), medCdFilial->text()));
    }
    if (m_periodsOf != m_branchLoaded + u'/' + medCdTabePrec->text())
        loadPeriods({});
    if (cmbVigencia->count() == 0)
        fail(medCdTabePrec, msgPadrao.Msg(QStringLiteral("VIG_N_CAD")).arg(medCdTabePrec->text()));
    if (cmbVigencia->currentIndex() < 0)
        fail(cmbVigencia, msgPadrao.Msg(QStringLiteral("VIG_INF")));
    if (options().prices.isEmpty())
        fail(chbConsumidor, msgPadrao.Msg(QStringLiteral("PRECO_INF")));
    if (!needFile)
        return;
    const QString file = edtArquivo->text().trimmed();
    if (file.isEmpty())
        fail(edtArquivo, msgPadrao.Msg(QStringLiteral("ARQ_INF")));
    const QFileInfo info(file);
    if (!info.absoluteDir().exists()) {
        fail(edtArquivo, msgPadrao.Msg(QStringLiteral("ARQ_PASTA"))
                             .arg(QDir::toNativeSeparators(info.absolutePath())));
    }
}

pricelist::Options TfrmListaPreco::options() const
{
    pricelist::Options o;
    o.branch = medCdFilial->text();
    o.branchName = edtNmFilial->text();
    o.segment = m_segment;
    o.table = medCdTabePrec->text();
    o.tableName = edtNmTabePrec->text();
    const QList<QDateTime> period = cmbVigencia->currentData().value<QList<QDateTime>>();
    o.periodStart = period.value(0);
    o.periodEnd = period.value(1);
    o.orderByName = rbtNome->isChecked();
    o.prices.clear();
    const std::pair<QCheckBox *, Price> choices[] = {{chbConsumidor, Price::Consumer},
                                                     {chbSubsidiado, Price::Subsidised},
                                                     {chbDelivery, Price::Delivery},
                                                     {chbComanda, Price::OrderPad},
                                                     {chbCalculado, Price::Calculated}};
    for (const auto &[box, price] : choices) {
        if (box->isChecked())
            o.prices << price;
    }
    o.dayPrices = chbPrecoDif->isChecked();
    o.onlyPromotional = chbPromocao->isChecked();
    o.onlyPriced = chbComPreco->isChecked();
    return o;
}

std::unique_ptr<pricelist::PriceList> TfrmListaPreco::loadList()
{
    const pricelist::Options o = options();
    pricelist::PriceListSource source(*netListaPreco);
    DataPacketPtr items, days;
    {
        BusyScope busy(1, msgPadrao.Msg(QStringLiteral("LENDO")));
        items = source.items(o);
        if (o.dayPrices)
            days = source.dayPrices(o);
    }
    auto list = std::make_unique<pricelist::PriceList>(o, std::move(items), std::move(days));
    if (list->rowCount() == 0) {
        HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("SEM_ITENS")),
                                      MsgKind::Information, {MsgOk});
        throw Abort();
    }
    return list;
}

QString TfrmListaPreco::issuedText() const
{
    return QStringLiteral("Emitido em %1")
        .arg(QDateTime::currentDateTime().toString(u"dd/MM/yyyy 'às' HH:mm"));
}

void TfrmListaPreco::btnVisualizarClick()
{
    validate(false);
    const std::unique_ptr<pricelist::PriceList> list = loadList();
    report::ReportProgress progress(this, kTitle, msgPadrao.Msg(QStringLiteral("PAGINA")));
    list->report(issuedText()).preview(progress.callback());
}

void TfrmListaPreco::btnImprimirClick()
{
    validate(false);
    const std::unique_ptr<pricelist::PriceList> list = loadList();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kTitle);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Imprimir - %1").arg(kTitle));
    if (dialog.exec() != QDialog::Accepted)
        return;
    report::ReportProgress progress(this, kTitle, msgPadrao.Msg(QStringLiteral("PAGINA")));
    if (list->report(issuedText()).paint(printer, progress.callback()) < 0)
        printer.abort();
}

void TfrmListaPreco::btnSalvarPdfClick()
{
    validate(true);
    const std::unique_ptr<pricelist::PriceList> list = loadList();
    const QString path = QFileInfo(edtArquivo->text().trimmed()).absoluteFilePath();
    report::ReportProgress progress(this, kTitle, msgPadrao.Msg(QStringLiteral("PAGINA")));
    QString error;
    switch (list->report(issuedText()).writePdf(path, &error, progress.callback())) {
    case report::PagedTableReport::Outcome::Written:
        HostUi::instance().messageBox(
            msgPadrao.Msg(QStringLiteral("ARQ_OK")).arg(QDir::toNativeSeparators(path)),
            MsgKind::Information, {MsgOk});
        break;
    case report::PagedTableReport::Outcome::Cancelled:
        break; // the user knows; nothing was written
    case report::PagedTableReport::Outcome::Failed:
        fail(edtArquivo,
             msgPadrao.Msg(QStringLiteral("ARQ_ERRO")).arg(QDir::toNativeSeparators(path), error));
    }
}

void TfrmListaPreco::btnArquivoClick()
{
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Salvar lista de preços"),
        edtArquivo->text().isEmpty() ? QDir::homePath() + QStringLiteral("/lista-de-precos.pdf")
                                     : edtArquivo->text(),
        QStringLiteral("Arquivos PDF (*.pdf)"));
    if (!chosen.isEmpty())
        edtArquivo->setText(chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)
                                ? chosen
                                : chosen + QStringLiteral(".pdf"));
}

namespace Cli_prx51701 {

void CriaListaPreco()
{
    std::unique_ptr<TfrmListaPreco> form(new TfrmListaPreco(HostUi::instance().mainWindow()));
    form->initialize();
    // The dialog frees itself once its modal show returns.
    form.release()->exec();
}

} // namespace Cli_prx51701

} // namespace prx
