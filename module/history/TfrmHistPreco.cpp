#include "TfrmHistPreco.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "dataset/Format.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "services/HostState.h"
#include "services/UserAction.h"
#include "widgets/ColumnFit.h"
#include "widgets/DBGrid.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>
#include <stdexcept>

namespace prx {

namespace history {

void CriaHistPreco(const HistPrecoRequest &request)
{
    // The history is read before the dialog shows: a refusal of the server
    // frees the dialog and reaches the caller, no empty dialog comes up.
    std::unique_ptr<TfrmHistPreco> form(package::buildDialog<TfrmHistPreco>());
    form->setRequest(request);
    form->btnAtualizarClick();
    package::execModal(form.release());
}

} // namespace history

namespace {

struct Column
{
    const char *field;
    FieldType type;
    int size;
    const char *title;
    int width; // 0: hidden
};

// The packet's fields as the grid shows them; the codes stay hidden.
const Column kColumns[] = {
    {"DTHISTPRECO", FieldType::DateTime, 0, "Data/Hora", 140},
    {"NMUSUARIO", FieldType::String, 40, "Usuário", 90},
    {"NMOPERACAO", FieldType::String, 60, "Operação", 130},
    {"DSALTERACAO", FieldType::String, 10, "Alteração", 70},
    {"DSREGISTRO", FieldType::String, 20, "Registro", 110},
    {"DTINIVGPREC", FieldType::DateTime, 0, "Vigência", 75},
    {"CDARVPROD", FieldType::String, 20, "Produto", 80},
    {"DSCHAVEDIA", FieldType::String, 100, "Preço diferenciado", 190},
    {"DSCAMPO", FieldType::String, 20, "Campo", 95},
    {"VRANTERIOR", FieldType::Float, 0, "Anterior", 80},
    {"VRNOVO", FieldType::Float, 0, "Novo", 80},
    {"IDTPALTHIST", FieldType::String, 1, "", 0},
    {"IDTPREGHIST", FieldType::String, 1, "", 0},
    {"NMCAMPO", FieldType::String, 20, "", 0},
    {"CDPRODUTO", FieldType::String, 10, "", 0},
};

QLabel *infoLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TfrmHistPreco::TfrmHistPreco(QWidget *parent)
    : FormDialog(parent), cdsHistPreco(new ClientDataSet(this)),
      dtsHistPreco(new DataSource(cdsHistPreco, this))
{
    setObjectName(QStringLiteral("frmHistPreco"));
    setWindowTitle(QStringLiteral("Histórico de preços"));
    resize(1180, 480);
    cdsHistPreco->setObjectName(QStringLiteral("cdsHistPreco"));
    dtsHistPreco->setObjectName(QStringLiteral("dtsHistPreco"));

    for (const Column &c : kColumns) {
        Field &f = cdsHistPreco->addField(QString::fromLatin1(c.field), c.type, c.size);
        f.setDisplayLabel(QString::fromUtf8(c.title));
        f.setVisible(c.width > 0);
        f.setReadOnly(true);
    }
    cdsHistPreco->fieldByName(u"DTHISTPRECO")
        .setDisplayFormat(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    cdsHistPreco->fieldByName(u"DTINIVGPREC").setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    // The product by its tree code through the host's mask, as the grids
    // show it; the internal code means nothing to a person.
    cdsHistPreco->fieldByName(u"CDARVPROD").setEditMask(DBPict(0));
    // Values in the format of their own column on the items page: the
    // calculated price with three decimals, every other with two.
    for (const char *name : {"VRANTERIOR", "VRNOVO"}) {
        cdsHistPreco->fieldByName(QString::fromLatin1(name)).onGetText = [](Field &f, QString &text,
                                                                            bool) {
            if (f.isNull()) {
                text.clear();
                return;
            }
            const bool calculated = f.dataSet().fieldByName(u"NMCAMPO").asString() == u"VRCUSTITEM";
            text = formatNumber(f.asFloat(), calculated ? u"#,##0.000" : u"#,##0.00");
        };
    }

    lblProduto = infoLabel("lblProduto", this);
    QFont strong = lblProduto->font();
    strong.setBold(true);
    lblProduto->setFont(strong);
    lblTabela = infoLabel("lblTabela", this);
    chbTodasVigencias = new QCheckBox(QStringLiteral("Todas as &vigências"), this);
    chbTodasVigencias->setObjectName(QStringLiteral("chbTodasVigencias"));
    chbTodasVigencias->setChecked(true);
    dbgHistorico = new DBGrid(this);
    dbgHistorico->setObjectName(QStringLiteral("dbgHistorico"));
    dbgHistorico->setDataSource(dtsHistPreco);
    for (const Column &c : kColumns) {
        if (c.width > 0) {
            dbgHistorico->addColumn(QString::fromLatin1(c.field), QString::fromUtf8(c.title),
                                    c.width);
        }
    }
    setReadOnlyList(*dbgHistorico);
    lblTotal = infoLabel("lblTotal", this);
    btnAtualizar = new QPushButton(QStringLiteral("&Atualizar"), this);
    btnAtualizar->setObjectName(QStringLiteral("btnAtualizar"));
    btnFechar = new QPushButton(QStringLiteral("&Fechar"), this);
    btnFechar->setObjectName(QStringLiteral("btnFechar"));
    btnFechar->setDefault(true);
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAtualizar, &QPushButton::clicked, this,
            [this] { runUserAction([this] { btnAtualizarClick(); }); });
    connect(chbTodasVigencias, &QCheckBox::toggled, this,
            [this] { runUserAction([this] { btnAtualizarClick(); }); });

    auto *header = new QVBoxLayout;
    header->addWidget(lblProduto);
    header->addWidget(lblTabela);
    auto *top = new QHBoxLayout;
    top->addLayout(header, 1);
    top->addWidget(chbTodasVigencias, 0, Qt::AlignBottom);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblTotal, 1);
    bottom->addWidget(btnAtualizar);
    bottom->addWidget(btnFechar);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(dbgHistorico, 1);
    layout->addLayout(bottom);
}

void TfrmHistPreco::setRequest(const HistPrecoRequest &request)
{
    m_request = request;
    lblProduto->setText(QStringLiteral("Produto: %1").arg(request.productLabel));
    lblTabela->setText(
        QStringLiteral("Filial %1, tabela %2; vigência em foco %3")
            .arg(request.branch, request.tableLabel, request.period.toString(u"dd/MM/yyyy")));
}

void TfrmHistPreco::FormCreate()
{
    FormDialog::FormCreate();
    dbgHistorico->setColor(dbgHistorico->palette().color(QPalette::Base));
}

void TfrmHistPreco::btnAtualizarClick()
{
    // Without a product and a connection there is nothing to show.
    if (!m_request.net || m_request.product.isEmpty())
        throw std::runtime_error("Nenhum produto selecionado para o histórico de preços.");
    const QVariant period =
        chbTodasVigencias->isChecked() ? QVariant() : QVariant(m_request.period);
    const QVariant payload = CheckResultServ(
        m_request.net->call(QStringLiteral("GetHistPreco"),
                            {m_request.branch, m_request.table, period, m_request.product}));
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu o histórico de preços.");
    cdsHistPreco->loadPacket(std::move(*packet));
    cdsHistPreco->first();
    // Long user names, operations and values are read whole; the grid
    // scrolls sideways rather than cutting them.
    fitColumnContents(*dbgHistorico, 420);
    const int rows = cdsHistPreco->recordCount();
    lblTotal->setText(rows == 0   ? QStringLiteral("Nenhuma alteração de preço registrada.")
                      : rows == 1 ? QStringLiteral("1 alteração")
                                  : QStringLiteral("%1 alterações").arg(rows));
}

void TfrmHistPreco::FormKeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape) {
        key = 0;
        btnFechar->click();
    } else if (key == Qt::Key_F5) {
        key = 0;
        btnAtualizar->click();
    }
}

} // namespace prx
