#include "Cli_prx51710.h"

#include "dataset/Abort.h"
#include "dataset/ClientDataSet.h"
#include "package/FormLife.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "report/ReportCatalog.h"
#include "report/TableReport.h"
#include "services/EditMask.h"
#include "services/HostState.h"
#include "services/HostUi.h"
#include "services/ProductCode.h"
#include "services/UserAction.h"

#include <QComboBox>
#include <QDir>

namespace prx {

namespace Cli_prx51710 {

TfrmInconsistenciaCopia *frmInconsistenciaCopia = nullptr;
QString stFilial;
QString stTabePrec;
QVariant oleErros;

namespace {

struct Unit
{
    ~Unit()
    {
        stFilial.clear();
        stTabePrec.clear();
        oleErros.clear();
    }
};
const Unit unit;

} // namespace

void criaRelInconsistencia(const QString &branch, const QString &table, const QVariant &errors)
{
    stFilial = branch;
    stTabePrec = table;
    // A copy: the report must not change with the caller's packet.
    const DataPacketPtr packet = errors.value<DataPacketPtr>();
    oleErros = packet ? QVariant::fromValue(std::make_shared<DataPacket>(*packet)) : QVariant();
    frmInconsistenciaCopia = package::buildDialog<TfrmInconsistenciaCopia>();
    package::execModal(frmInconsistenciaCopia);
}

} // namespace Cli_prx51710

namespace {

// How each parameter reads in the report's header.
const std::pair<const char *, const char *> kParameterLabels[] = {
    {"P_CDFILIAL", "Filial"},
    {"P_CDTABEPREC", "Tabela"},
    {"P_NMTABEPREC", "Nome da tabela"},
    {"P_DTINIVGPREC", "Início da vigência"},
    {"P_CDARVPRODORIG", "Produto base"},
    {"P_NMPRODORIG", "Nome do produto base"}};

} // namespace

TfrmInconsistenciaCopia::TfrmInconsistenciaCopia(QWidget *parent)
    : TfrmDadosGerRel(parent), cdsErrosCopia(new ClientDataSet(this)),
      cmbRelatorio(new QComboBox(this))
{
    setObjectName(QStringLiteral("frmInconsistenciaCopia"));
    setWindowTitle(kTitle);
    setTitle(kTitle);
    setScreenCode(QStringLiteral("PRX51710"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgInconsistenciaCopia.txt"));
    cdsErrosCopia->setObjectName(QStringLiteral("cdsErrosCopia"));
    cmbRelatorio->setObjectName(QStringLiteral("cmbRelatorio"));
    cmbRelatorio->setMinimumWidth(300);
    addParameter(QStringLiteral("Relatório:"), cmbRelatorio);
    setFixedSize(sizeHint().expandedTo(QSize(460, 200)));
}

TfrmInconsistenciaCopia::~TfrmInconsistenciaCopia()
{
    if (Cli_prx51710::frmInconsistenciaCopia == this)
        Cli_prx51710::frmInconsistenciaCopia = nullptr;
}

void TfrmInconsistenciaCopia::FormCreate()
{
    TfrmDadosGerRel::FormCreate();
    if (const DataPacketPtr packet = Cli_prx51710::oleErros.value<DataPacketPtr>())
        cdsErrosCopia->loadPacket(DataPacket(*packet));
    for (const report::Definition &d : report::definitions(kReportCode))
        cmbRelatorio->addItem(d.title);
    const int own = cmbRelatorio->findText(kTitle);
    if (own >= 0)
        cmbRelatorio->setCurrentIndex(own);
}

void TfrmInconsistenciaCopia::rpddPadraoBeforeGetQueryParams(
    const report::Definition &definition, QList<std::pair<QString, QString>> *params)
{
    if (cmbRelatorio->currentText() != kTitle) {
        HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("REL_INV")), MsgKind::Error,
                                      {MsgOk});
        cmbRelatorio->setCurrentIndex(cmbRelatorio->findText(kTitle));
        throw Abort();
    }
    // The main screen's current item and table: the copy's base.
    TfrmTabePreco *screen = Cli_prx51700::frmTabePreco;
    auto field = [screen](ClientDataSet *TfrmTabePreco::*ds, const char16_t *name, bool shown) {
        if (!screen || !(screen->*ds)->isActive() || (screen->*ds)->isEmpty())
            return QString();
        Field &f = (screen->*ds)->fieldByName(name);
        return shown ? productCodeText(f.asString()) : f.asString();
    };
    QString start;
    if (screen && screen->cdsItemPreco->isActive() && !screen->cdsItemPreco->isEmpty()) {
        start =
            screen->cdsItemPreco->fieldByName(u"DTINIVGPREC").asDateTime().toString(u"dd/MM/yyyy");
    }
    const QHash<QString, QString> values = {
        {QStringLiteral("P_CDFILIAL"), Cli_prx51710::stFilial},
        {QStringLiteral("P_CDTABEPREC"), field(&TfrmTabePreco::cdsItemPreco, u"CDTABEPREC", false)},
        {QStringLiteral("P_NMTABEPREC"), field(&TfrmTabePreco::cdsTabePrec, u"NMTABEPREC", false)},
        {QStringLiteral("P_CDARVPRODORIG"),
         field(&TfrmTabePreco::cdsItemPreco, u"CDARVPROD", true)},
        {QStringLiteral("P_NMPRODORIG"), field(&TfrmTabePreco::cdsItemPreco, u"NMPRODUTO", false)},
        {QStringLiteral("P_DTINIVGPREC"), start}};
    for (const auto &[name, label] : kParameterLabels) {
        const QString key = QString::fromLatin1(name);
        if (definition.declares(key))
            *params << std::pair{key, values.value(key)};
    }
}

report::TableReport TfrmInconsistenciaCopia::buildReport()
{
    const QList<report::Definition> found = report::definitions(kReportCode);
    if (found.isEmpty()) {
        QString text = msgPadrao.Msg(QStringLiteral("Arq_Rel_Err"));
        text.replace(text.indexOf(QStringLiteral("%s")), 2, kReportCode);
        text.replace(text.indexOf(QStringLiteral("%s")), 2,
                     QDir::toNativeSeparators(report::reportsFolder()));
        MensErro(text, true);
    }
    report::Definition chosen = found.first();
    for (const report::Definition &d : found) {
        if (d.title == cmbRelatorio->currentText())
            chosen = d;
    }
    QList<std::pair<QString, QString>> params;
    rpddPadraoBeforeGetQueryParams(chosen, &params);

    report::TableReport rel(chosen.title);
    for (const auto &[key, value] : params) {
        for (const auto &[name, label] : kParameterLabels) {
            if (key == QLatin1String(name))
                rel.addParameter(QString::fromUtf8(label), value);
        }
    }
    rel.setIssued(QStringLiteral("Emitido em %1")
                      .arg(QDateTime::currentDateTime().toString(u"dd/MM/yyyy HH:mm")));
    rel.setColumns({{QStringLiteral("Código"), 18, false},
                    {QStringLiteral("Nome"), 37, true},
                    {QStringLiteral("Motivo"), 45, true}});
    const EditMask mask(DBPict(0));
    ClientDataSet &errors = *cdsErrosCopia;
    int total = 0;
    if (errors.isActive()) {
        auto column = [&errors](QStringView field) {
            const Field *f = errors.findField(field);
            return f ? f->index() : -1;
        };
        const int code = column(u"CDARVPROD"), name = column(u"NMPRODUTO"),
                  reason = column(u"DSERRO");
        for (int r = 0; r < errors.recordCount(); ++r) {
            const QString tree = code >= 0 ? errors.valueAt(r, code).toString() : QString();
            rel.addRow({mask.isEmpty() ? tree : mask.format(tree),
                        name >= 0 ? errors.valueAt(r, name).toString() : QString(),
                        reason >= 0 ? errors.valueAt(r, reason).toString() : QString()});
            ++total;
        }
    }
    rel.setClosingLine(QStringLiteral("Total de produtos: %1").arg(total));
    return rel;
}

void TfrmInconsistenciaCopia::btnVisualizarClick()
{
    buildReport().preview();
}

} // namespace prx
