#include "TfrmRevisaoVigencia.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "dataset/Format.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "report/PagedTableReport.h"
#include "report/ReportProgress.h"
#include "services/BusyIndicator.h"
#include "services/HostUi.h"
#include "services/ProductCode.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "sheet/Sheet.h"
#include "widgets/ColumnFit.h"
#include "widgets/DBGrid.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>
#include <stdexcept>

namespace prx {

namespace review {

void CriaRevisaoVigencia(const RevisaoVigenciaRequest &request)
{
    // The review is read before the dialog shows: a refusal of the server
    // frees the dialog and reaches the caller, no empty dialog comes up.
    std::unique_ptr<TfrmRevisaoVigencia> form(package::buildDialog<TfrmRevisaoVigencia>());
    form->setRequest(request);
    form->load();
    package::execModal(form.release());
}

QIcon reviewIcon()
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF sheet(3.5, 2.5, 13, 17);
    p.setPen(QPen(QColor(0x33, 0x44, 0x55), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QPen(QColor(0x88, 0x99, 0xaa), 1));
    for (qreal y = sheet.top() + 4; y < sheet.bottom() - 1; y += 3.5)
        p.drawLine(QPointF(sheet.left() + 3, y), QPointF(sheet.right() - 3, y));
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 2));
    p.setBrush(QColor(0xdd, 0xea, 0xf7, 200));
    p.drawEllipse(QPointF(14.5, 13.5), 5, 5);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18.2, 17.2), QPointF(22, 21));
    return QIcon(pm);
}

} // namespace review

namespace {

TfrmRevisaoVigencia::FileAnswer &fileHook()
{
    static TfrmRevisaoVigencia::FileAnswer hook;
    return hook;
}

struct Column
{
    const char *field;
    FieldType type;
    int size;
    const char *title;
    int width; // 0: hidden
};

// The rows' fields as the grid shows them.
const Column kColumns[] = {
    {"CDARVPROD", FieldType::String, 20, "Produto", 90},
    {"NMPRODUTO", FieldType::String, 50, "Nome", 260},
    {"DSTIPO", FieldType::String, 15, "Situação", 100},
    {"VRANTERIOR", FieldType::Float, 0, "Preço anterior", 95},
    {"VRNOVO", FieldType::Float, 0, "Preço novo", 85},
    {"VRVARIACAO", FieldType::Float, 0, "Variação %", 80},
    {"VRCUSTITEM", FieldType::Float, 0, "Pr. Calculado", 90},
    {"IDMARGEM", FieldType::String, 1, "Margem em risco", 105},
    {"IDSEMALIQ", FieldType::String, 1, "Sem alíquota", 85},
    {"NRDIFINCL", FieldType::Integer, 0, "Dif. incluídos", 90},
    {"NRDIFEXCL", FieldType::Integer, 0, "Dif. excluídos", 90},
    {"NRDIFALT", FieldType::Integer, 0, "Dif. alterados", 90},
    {"IDTIPO", FieldType::String, 1, "", 0},
    {"IDDIFALT", FieldType::String, 1, "", 0},
    {"CDPRODUTO", FieldType::String, 10, "", 0},
};

// The entries of the filter: the text and the rows it keeps.
struct FilterEntry
{
    const char *text;
    const char *filter; // empty: every row
    const char *count;  // the summary's count of those rows
};
const FilterEntry kFilters[] = {
    {"Todos os produtos", "", "NRPRODUTOS"},
    {"Novos", "IDTIPO = 'N'", "NRNOVOS"},
    {"Removidos", "IDTIPO = 'R'", "NRREMOVIDOS"},
    {"Aumentos", "IDTIPO = 'A'", "NRAUMENTOS"},
    {"Reduções", "IDTIPO = 'D'", "NRREDUCOES"},
    {"Sem alteração", "IDTIPO = 'I'", "NRINALTERADOS"},
    {"Margem em risco", "IDMARGEM = 'S'", "NRMARGEM"},
    {"Sem alíquota", "IDSEMALIQ = 'S'", "NRSEMALIQ"},
    {"Preços diferenciados alterados", "IDDIFALT = 'S'", "NRPRODDIF"},
};

QString money(const QVariant &v)
{
    return v.isNull() ? QString() : formatNumber(v.toDouble(), u"#,##0.00");
}

QString percent(const QVariant &v)
{
    if (v.isNull())
        return QString();
    const double x = v.toDouble();
    return (x > 0 ? QStringLiteral("+") : QString()) + formatNumber(x, u"#,##0.00") + u'%';
}

QString dateText(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("sem fim") : v.toDateTime().toString(u"dd/MM/yyyy");
}

QString stateName(const QString &code)
{
    static const QHash<QString, QString> names = {
        {"1", "Pendente"}, {"2", "Liberada"}, {"3", "Confirmada"}, {"4", "Aprovada"}};
    return names.value(code, code);
}

QString plural(qint64 n, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

QVariant cell(const DataPacketPtr &p, int row, QStringView field)
{
    if (!p)
        return {};
    const int c = p->indexOf(field);
    return c < 0 || row >= p->rowCount() ? QVariant() : p->value(row, c);
}

QLabel *infoLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

void TfrmRevisaoVigencia::setFileAnswer(FileAnswer answer)
{
    fileHook() = std::move(answer);
}

TfrmRevisaoVigencia::TfrmRevisaoVigencia(QWidget *parent)
    : FormDialog(parent), cdsRevisao(new ClientDataSet(this)),
      dtsRevisao(new DataSource(cdsRevisao, this))
{
    setObjectName(QStringLiteral("frmRevisaoVigencia"));
    setWindowTitle(QStringLiteral("Revisão da vigência"));
    resize(1180, 680);
    cdsRevisao->setObjectName(QStringLiteral("cdsRevisao"));
    dtsRevisao->setObjectName(QStringLiteral("dtsRevisao"));

    for (const Column &c : kColumns) {
        Field &f = cdsRevisao->addField(QString::fromLatin1(c.field), c.type, c.size);
        f.setDisplayLabel(QString::fromUtf8(c.title));
        f.setVisible(c.width > 0);
        f.setReadOnly(true);
    }
    // Codes through the host's product mask, as every grid shows them.
    cdsRevisao->fieldByName(u"CDARVPROD").onGetText = [](Field &f, QString &text, bool) {
        text = productCodeText(f.asString());
    };
    for (const char *name : {"VRANTERIOR", "VRNOVO"}) {
        cdsRevisao->fieldByName(QString::fromLatin1(name)).onGetText =
            [](Field &f, QString &text, bool) { text = money(f.value()); };
    }
    cdsRevisao->fieldByName(u"VRCUSTITEM").onGetText = [](Field &f, QString &text, bool) {
        text = f.isNull() ? QString() : formatNumber(f.asFloat(), u"#,##0.000");
    };
    cdsRevisao->fieldByName(u"VRVARIACAO").onGetText = [](Field &f, QString &text, bool) {
        text = percent(f.value());
    };
    for (const char *name : {"IDMARGEM", "IDSEMALIQ"}) {
        cdsRevisao->fieldByName(QString::fromLatin1(name)).onGetText = [](Field &f, QString &text,
                                                                          bool) {
            text = f.asString() == u"S" ? QStringLiteral("Sim") : QStringLiteral("Não");
        };
    }

    lblPeriodo = infoLabel("lblPeriodo", this);
    QFont strong = lblPeriodo->font();
    strong.setBold(true);
    lblPeriodo->setFont(strong);
    lblComparada = infoLabel("lblComparada", this);
    lblBloqueio = infoLabel("lblBloqueio", this);
    lblBloqueio->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
    lblBloqueio->setWordWrap(true);

    grpResumo = new QGroupBox(QStringLiteral("Resumo"), this);
    grpResumo->setObjectName(QStringLiteral("grpResumo"));
    grpAumentos = new QGroupBox(QStringLiteral("Maiores aumentos"), this);
    grpAumentos->setObjectName(QStringLiteral("grpAumentos"));
    grpReducoes = new QGroupBox(QStringLiteral("Maiores reduções"), this);
    grpReducoes->setObjectName(QStringLiteral("grpReducoes"));
    lblAumentos = infoLabel("lblAumentos", grpAumentos);
    lblReducoes = infoLabel("lblReducoes", grpReducoes);
    for (QLabel *l : {lblAumentos, lblReducoes}) {
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Long product names break into lines inside their box.
        l->setWordWrap(true);
        auto *box = new QVBoxLayout(l->parentWidget());
        box->addWidget(l);
        box->addStretch();
    }

    cmbFiltro = new QComboBox(this);
    cmbFiltro->setObjectName(QStringLiteral("cmbFiltro"));
    cmbFiltro->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *lblFiltro = new QLabel(QStringLiteral("&Mostrar:"), this);
    lblFiltro->setBuddy(cmbFiltro);

    dbgRevisao = new DBGrid(this);
    dbgRevisao->setObjectName(QStringLiteral("dbgRevisao"));
    dbgRevisao->setDataSource(dtsRevisao);
    for (const Column &c : kColumns) {
        if (c.width > 0) {
            dbgRevisao->addColumn(QString::fromLatin1(c.field), QString::fromUtf8(c.title),
                                  c.width);
        }
    }
    setReadOnlyList(*dbgRevisao);
    fitColumnTitles(*dbgRevisao);

    lblTotal = infoLabel("lblTotal", this);
    btnVisualizar = button("btnVisualizar", QStringLiteral("&Visualizar"), this);
    btnSalvarPdf = button("btnSalvarPdf", QStringLiteral("Salvar &PDF..."), this);
    btnExportarXlsx = button("btnExportarXlsx", QStringLiteral("Exportar &XLSX..."), this);
    btnFechar = button("btnFechar", QStringLiteral("&Fechar"), this);
    btnFechar->setDefault(true);
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);
    auto onClick = [this](QPushButton *b, void (TfrmRevisaoVigencia::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); });
    };
    onClick(btnVisualizar, &TfrmRevisaoVigencia::btnVisualizarClick);
    onClick(btnSalvarPdf, &TfrmRevisaoVigencia::btnSalvarPdfClick);
    onClick(btnExportarXlsx, &TfrmRevisaoVigencia::btnExportarXlsxClick);
    connect(cmbFiltro, &QComboBox::currentIndexChanged, this,
            [this] { runUserAction([this] { cmbFiltroChange(); }); });

    auto *extremes = new QHBoxLayout;
    extremes->addWidget(grpResumo, 3);
    extremes->addWidget(grpAumentos, 4);
    extremes->addWidget(grpReducoes, 4);
    auto *filter = new QHBoxLayout;
    filter->addWidget(lblFiltro);
    filter->addWidget(cmbFiltro);
    filter->addStretch(1);
    filter->addWidget(lblTotal);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    for (QPushButton *b : {btnVisualizar, btnSalvarPdf, btnExportarXlsx, btnFechar})
        bottom->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(lblPeriodo);
    layout->addWidget(lblComparada);
    layout->addLayout(extremes);
    layout->addWidget(lblBloqueio);
    layout->addLayout(filter);
    layout->addWidget(dbgRevisao, 1);
    layout->addLayout(bottom);
}

TfrmRevisaoVigencia::~TfrmRevisaoVigencia() = default;

void TfrmRevisaoVigencia::setRequest(const RevisaoVigenciaRequest &request)
{
    m_request = request;
}

void TfrmRevisaoVigencia::load()
{
    if (!m_request.net || !m_request.start.isValid())
        throw std::runtime_error("Nenhuma vigência selecionada para a revisão.");
    QVariant payload;
    {
        BusyScope busy(6);
        payload = CheckResultServ(
            m_request.net->call(QStringLiteral("GetRevisaoVigencia"),
                                {m_request.branch, m_request.table, m_request.start}));
    }
    const QVariantList packets = payload.toList();
    DataPacketPtr rows = packets.value(2).value<DataPacketPtr>();
    m_summary = packets.value(0).value<DataPacketPtr>();
    m_extremes = packets.value(1).value<DataPacketPtr>();
    if (!m_summary || !m_extremes || !rows || m_summary->rowCount() != 1)
        throw std::runtime_error("O servidor não devolveu a revisão da vigência.");
    cdsRevisao->loadPacket(std::move(*rows));
    cdsRevisao->first();
    showSummary();
}

QList<std::pair<QString, QString>> TfrmRevisaoVigencia::summaryLines() const
{
    auto n = [this](const char *field) {
        return cell(m_summary, 0, QString::fromLatin1(field)).toLongLong();
    };
    const qint64 untaxed = n("NRSEMALIQ");
    const QVariant average = cell(m_summary, 0, u"VRVARMEDIA");
    return {
        {QStringLiteral("Produtos"), QString::number(n("NRPRODUTOS"))},
        {QStringLiteral("Novos"), QString::number(n("NRNOVOS"))},
        {QStringLiteral("Removidos"), QString::number(n("NRREMOVIDOS"))},
        {QStringLiteral("Aumentos"), QString::number(n("NRAUMENTOS"))},
        {QStringLiteral("Reduções"), QString::number(n("NRREDUCOES"))},
        {QStringLiteral("Sem alteração"), QString::number(n("NRINALTERADOS"))},
        {QStringLiteral("Variação média do preço"),
         average.isNull() ? QStringLiteral("sem preços a comparar") : percent(average)},
        {QStringLiteral("Preços diferenciados"),
         QStringLiteral("%1, %2, %3 (%4)")
             .arg(plural(n("NRDIFINCL"), QStringLiteral("incluído"), QStringLiteral("incluídos")),
                  plural(n("NRDIFEXCL"), QStringLiteral("excluído"), QStringLiteral("excluídos")),
                  plural(n("NRDIFALT"), QStringLiteral("alterado"), QStringLiteral("alterados")),
                  plural(n("NRPRODDIF"), QStringLiteral("produto"), QStringLiteral("produtos")))},
        {QStringLiteral("Margem em risco (preço abaixo do calculado)"),
         QString::number(n("NRMARGEM"))},
        {QStringLiteral("Sem alíquota na filial"),
         untaxed > 0 ? QStringLiteral("%1 (bloqueiam a aprovação)").arg(untaxed)
                     : QStringLiteral("0")},
    };
}

QStringList TfrmRevisaoVigencia::extremeLines(const QString &code) const
{
    QStringList lines;
    for (int r = 0; m_extremes && r < m_extremes->rowCount(); ++r) {
        if (cell(m_extremes, r, u"IDEXTREMO").toString() != code)
            continue;
        lines << QStringLiteral("%1 %2: %3 → %4 (%5)")
                     .arg(productCodeText(cell(m_extremes, r, u"CDARVPROD").toString()),
                          cell(m_extremes, r, u"NMPRODUTO").toString(),
                          money(cell(m_extremes, r, u"VRANTERIOR")),
                          money(cell(m_extremes, r, u"VRNOVO")),
                          percent(cell(m_extremes, r, u"VRVARIACAO")));
    }
    return lines;
}

void TfrmRevisaoVigencia::showSummary()
{
    lblPeriodo->setText(QStringLiteral("Filial %1 - %2, tabela %3 - %4: vigência de %5 a %6 (%7)")
                            .arg(m_request.branch, m_request.branchName, m_request.table,
                                 m_request.tableName, dateText(cell(m_summary, 0, u"DTINIVGPREC")),
                                 dateText(cell(m_summary, 0, u"DTFINVGPREC")),
                                 stateName(cell(m_summary, 0, u"IDSITVGPREC").toString())));
    lblComparada->setText(
        cell(m_summary, 0, u"DTINIVGANT").isNull()
            ? QStringLiteral("Nenhuma vigência aprovada vende até o início desta: todos os "
                             "produtos são novos.")
            : QStringLiteral("Comparada com a vigência aprovada de %1 a %2, que vende até o "
                             "início desta.")
                  .arg(dateText(cell(m_summary, 0, u"DTINIVGANT")),
                       dateText(cell(m_summary, 0, u"DTFINVGANT"))));

    const QList<std::pair<QString, QString>> lines = summaryLines();
    if (m_summaryValues.isEmpty()) {
        auto *grid = new QGridLayout(grpResumo);
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(2);
        for (int i = 0; i < lines.size(); ++i) {
            grid->addWidget(new QLabel(lines[i].first + u':', grpResumo), i, 0);
            QLabel *value = infoLabel("lblResumoValor", grpResumo);
            value->setObjectName(QStringLiteral("lblResumo%1").arg(i));
            grid->addWidget(value, i, 1);
            m_summaryValues << value;
        }
        grid->setColumnStretch(1, 1);
    }
    for (int i = 0; i < lines.size(); ++i)
        m_summaryValues[i]->setText(lines[i].second);
    const QStringList ups = extremeLines(QStringLiteral("A"));
    const QStringList downs = extremeLines(QStringLiteral("D"));
    lblAumentos->setText(ups.isEmpty() ? QStringLiteral("Nenhum aumento.") : ups.join(u'\n'));
    lblReducoes->setText(downs.isEmpty() ? QStringLiteral("Nenhuma redução.") : downs.join(u'\n'));
    const qint64 untaxed = cell(m_summary, 0, u"NRSEMALIQ").toLongLong();
    lblBloqueio->setText(
        untaxed > 0
            ? QStringLiteral("A aprovação está bloqueada: %1 sem alíquota cadastrada na "
                             "filial (filtre por \"Sem alíquota\" para vê-los).")
                  .arg(plural(untaxed, QStringLiteral("produto"), QStringLiteral("produtos")))
            : QString());
    lblBloqueio->setVisible(untaxed > 0);

    const QSignalBlocker quiet(cmbFiltro);
    const int chosen = qMax(0, cmbFiltro->currentIndex());
    cmbFiltro->clear();
    for (const FilterEntry &f : kFilters) {
        cmbFiltro->addItem(QStringLiteral("%1 (%2)")
                               .arg(QString::fromUtf8(f.text))
                               .arg(cell(m_summary, 0, QString::fromLatin1(f.count)).toLongLong()),
                           QString::fromLatin1(f.filter));
    }
    cmbFiltro->setCurrentIndex(chosen);
    cmbFiltroChange();
}

QString TfrmRevisaoVigencia::filterName() const
{
    return cmbFiltro->currentText();
}

void TfrmRevisaoVigencia::cmbFiltroChange()
{
    const QString filter = cmbFiltro->currentData().toString();
    cdsRevisao->setFiltered(false);
    cdsRevisao->setFilter(filter);
    cdsRevisao->setFiltered(!filter.isEmpty());
    cdsRevisao->first();
    const int rows = cdsRevisao->recordCount();
    lblTotal->setText(rows == 0   ? QStringLiteral("Nenhum produto mostrado.")
                      : rows == 1 ? QStringLiteral("1 produto mostrado")
                                  : QStringLiteral("%1 produtos mostrados").arg(rows));
}

std::unique_ptr<report::PagedTableReport> TfrmRevisaoVigencia::buildReport() const
{
    auto r = std::make_unique<report::PagedTableReport>(QStringLiteral("Revisão da vigência"));
    r->addParameter(QStringLiteral("Filial"),
                    QStringLiteral("%1 - %2").arg(m_request.branch, m_request.branchName));
    r->addParameter(QStringLiteral("Tabela"),
                    QStringLiteral("%1 - %2").arg(m_request.table, m_request.tableName));
    r->addParameter(QStringLiteral("Vigência"),
                    QStringLiteral("%1 a %2 (%3)")
                        .arg(dateText(cell(m_summary, 0, u"DTINIVGPREC")),
                             dateText(cell(m_summary, 0, u"DTFINVGPREC")),
                             stateName(cell(m_summary, 0, u"IDSITVGPREC").toString())));
    r->addParameter(QStringLiteral("Comparada com"),
                    cell(m_summary, 0, u"DTINIVGANT").isNull()
                        ? QStringLiteral("nenhuma vigência aprovada")
                        : QStringLiteral("vigência aprovada de %1 a %2")
                              .arg(dateText(cell(m_summary, 0, u"DTINIVGANT")),
                                   dateText(cell(m_summary, 0, u"DTFINVGANT"))));
    for (const auto &[label, value] : summaryLines())
        r->addParameter(label, value);
    const QStringList ups = extremeLines(QStringLiteral("A"));
    const QStringList downs = extremeLines(QStringLiteral("D"));
    if (ups.isEmpty())
        r->addParameter(QStringLiteral("Maiores aumentos"), QStringLiteral("nenhum"));
    for (int i = 0; i < ups.size(); ++i)
        r->addParameter(QStringLiteral("Maior aumento %1").arg(i + 1), ups[i]);
    if (downs.isEmpty())
        r->addParameter(QStringLiteral("Maiores reduções"), QStringLiteral("nenhuma"));
    for (int i = 0; i < downs.size(); ++i)
        r->addParameter(QStringLiteral("Maior redução %1").arg(i + 1), downs[i]);
    r->addParameter(QStringLiteral("Produtos mostrados"), filterName());
    r->setIssued(QStringLiteral("Emitido em %1")
                     .arg(QDateTime::currentDateTime().toString(u"dd/MM/yyyy 'às' HH:mm")));
    r->setColumns({{QStringLiteral("Produto"), 11},
                   {QStringLiteral("Nome"), 25},
                   {QStringLiteral("Situação"), 11},
                   {QStringLiteral("Anterior"), 9, true},
                   {QStringLiteral("Novo"), 9, true},
                   {QStringLiteral("Variação"), 9, true},
                   {QStringLiteral("Calculado"), 9, true},
                   {QStringLiteral("Margem"), 6},
                   {QStringLiteral("Sem alíq."), 6},
                   {QStringLiteral("Dif. +/-/alt."), 5}});
    const ClientDataSet *data = cdsRevisao;
    QList<int> fields;
    for (const char *name : {"CDARVPROD", "NMPRODUTO", "DSTIPO", "VRANTERIOR", "VRNOVO",
                             "VRVARIACAO", "VRCUSTITEM", "IDMARGEM", "IDSEMALIQ"})
        fields << data->fieldByName(QString::fromLatin1(name)).index();
    QList<int> day;
    for (const char *name : {"NRDIFINCL", "NRDIFEXCL", "NRDIFALT"})
        day << data->fieldByName(QString::fromLatin1(name)).index();
    r->setRows(data->recordCount(),
               [data, fields, day](int row, report::PagedTableReport::RowText *out) {
                   for (int f : fields)
                       out->cells << data->displayTextAt(row, f);
                   QStringList counts;
                   for (int f : day)
                       counts << data->displayTextAt(row, f);
                   out->cells << counts.join(u'/');
               });
    r->setClosingLine(lblTotal->text());
    return r;
}

QList<sheet::Sheet> TfrmRevisaoVigencia::buildSheets() const
{
    sheet::Sheet summary;
    summary.name = QStringLiteral("Resumo");
    summary.columns = {{QStringLiteral("Item"), QString(), sheet::CellKind::Text, 45},
                       {QStringLiteral("Valor"), QString(), sheet::CellKind::Text, 70}};
    summary.rows << QVariantList{
        QStringLiteral("Filial"),
        QStringLiteral("%1 - %2").arg(m_request.branch, m_request.branchName)};
    summary.rows << QVariantList{
        QStringLiteral("Tabela"),
        QStringLiteral("%1 - %2").arg(m_request.table, m_request.tableName)};
    summary.rows << QVariantList{QStringLiteral("Vigência"), lblPeriodo->text()};
    summary.rows << QVariantList{QStringLiteral("Comparada com"), lblComparada->text()};
    for (const auto &[label, value] : summaryLines())
        summary.rows << QVariantList{label, value};
    summary.rows << QVariantList{QStringLiteral("Maiores aumentos"),
                                 extremeLines(QStringLiteral("A")).join(QStringLiteral("; "))};
    summary.rows << QVariantList{QStringLiteral("Maiores reduções"),
                                 extremeLines(QStringLiteral("D")).join(QStringLiteral("; "))};
    summary.rows << QVariantList{QStringLiteral("Produtos mostrados"), filterName()};

    sheet::Sheet rows;
    rows.name = QStringLiteral("Produtos");
    using K = sheet::CellKind;
    rows.columns = {{QStringLiteral("Produto"), "CDARVPROD", K::Text, 14},
                    {QStringLiteral("Nome"), "NMPRODUTO", K::Text, 40},
                    {QStringLiteral("Situação"), "DSTIPO", K::Text, 15},
                    {QStringLiteral("Preço anterior"), "VRANTERIOR", K::Money, 14},
                    {QStringLiteral("Preço novo"), "VRNOVO", K::Money, 14},
                    {QStringLiteral("Variação %"), "VRVARIACAO", K::Money, 12},
                    {QStringLiteral("Pr. Calculado"), "VRCUSTITEM", K::Number3, 14},
                    {QStringLiteral("Margem em risco"), "IDMARGEM", K::Flag, 14},
                    {QStringLiteral("Sem alíquota"), "IDSEMALIQ", K::Flag, 12},
                    {QStringLiteral("Dif. incluídos"), "NRDIFINCL", K::Text, 13},
                    {QStringLiteral("Dif. excluídos"), "NRDIFEXCL", K::Text, 13},
                    {QStringLiteral("Dif. alterados"), "NRDIFALT", K::Text, 13}};
    QList<int> fields;
    for (const sheet::SheetColumn &c : rows.columns)
        fields << cdsRevisao->fieldByName(c.field).index();
    const int tree = cdsRevisao->fieldByName(u"CDARVPROD").index();
    rows.rows.reserve(cdsRevisao->recordCount());
    for (int r = 0; r < cdsRevisao->recordCount(); ++r) {
        QVariantList values;
        for (int f : fields) {
            // The code as a person reads it; the rest as stored.
            values << (f == tree ? QVariant(cdsRevisao->displayTextAt(r, f))
                                 : cdsRevisao->valueAt(r, f));
        }
        rows.rows << values;
    }
    return {summary, rows};
}

QString TfrmRevisaoVigencia::suggestedName(const QString &suffix) const
{
    return QDir::home().filePath(QStringLiteral("revisao-%1-%2-%3.%4")
                                     .arg(m_request.branch.trimmed(), m_request.table.trimmed(),
                                          m_request.start.date().toString(u"yyyy-MM-dd"), suffix));
}

namespace {

QString askFile(QWidget *parent, const QString &title, const QString &suggested,
                const QString &filter, const QString &suffix)
{
    QString path = fileHook() ? fileHook()(title, suggested)
                              : QFileDialog::getSaveFileName(parent, title, suggested, filter);
    if (!path.isEmpty() && !path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    return path;
}

} // namespace

void TfrmRevisaoVigencia::btnVisualizarClick()
{
    const std::unique_ptr<report::PagedTableReport> r = buildReport();
    report::ReportProgress progress(this, windowTitle(), QStringLiteral("Página %1 de %2"));
    r->preview(progress.callback());
}

void TfrmRevisaoVigencia::btnSalvarPdfClick()
{
    const QString path = askFile(this, QStringLiteral("Salvar revisão da vigência em PDF"),
                                 suggestedName(QStringLiteral("pdf")),
                                 QStringLiteral("Arquivos PDF (*.pdf)"), QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;
    const std::unique_ptr<report::PagedTableReport> r = buildReport();
    report::ReportProgress progress(this, windowTitle(), QStringLiteral("Página %1 de %2"));
    QString error;
    switch (r->writePdf(path, &error, progress.callback())) {
    case report::PagedTableReport::Outcome::Written:
        HostUi::instance().messageBox(QStringLiteral("Revisão da vigência gravada em %1.")
                                          .arg(QDir::toNativeSeparators(path)),
                                      MsgKind::Information, {MsgOk});
        break;
    case report::PagedTableReport::Outcome::Cancelled:
        break; // the user stopped it; nothing was written
    case report::PagedTableReport::Outcome::Failed:
        MensErro(QStringLiteral("Não foi possível gravar o arquivo %1: %2")
                     .arg(QDir::toNativeSeparators(path), error),
                 true);
    }
}

void TfrmRevisaoVigencia::btnExportarXlsxClick()
{
    const QString path = askFile(
        this, QStringLiteral("Exportar revisão da vigência"), suggestedName(QStringLiteral("xlsx")),
        QStringLiteral("Pasta de trabalho XLSX (*.xlsx)"), QStringLiteral(".xlsx"));
    if (path.isEmpty())
        return;
    QString error;
    if (!sheet::writeXlsx(path, buildSheets(), &error)) {
        MensErro(QStringLiteral("Não foi possível gravar o arquivo %1: %2")
                     .arg(QDir::toNativeSeparators(path), error),
                 true);
    }
    HostUi::instance().messageBox(
        QStringLiteral("Revisão da vigência exportada para %1: %2.")
            .arg(QDir::toNativeSeparators(path),
                 plural(cdsRevisao->recordCount(), QStringLiteral("produto"),
                        QStringLiteral("produtos"))),
        MsgKind::Information, {MsgOk});
}

void TfrmRevisaoVigencia::FormKeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape) {
        key = 0;
        btnFechar->click();
    }
}

} // namespace prx
