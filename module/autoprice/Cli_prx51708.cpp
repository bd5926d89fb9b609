#include "Cli_prx51708.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "package/FormLife.h"
#include "services/Controls.h"
#include "services/HostState.h"
#include "widgets/ColumnFit.h"
#include "widgets/DBGrid.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

#include <stdexcept>

namespace prx {

namespace Cli_prx51708 {

TfrmProdSemImpos *frmProdSemImpos = nullptr;
QWidget *frmOrig = nullptr;
bool boConfirma = false;

bool CriaProdSemImpos(QWidget *form)
{
    frmOrig = form;
    frmProdSemImpos = package::buildDialog<TfrmProdSemImpos>();
    package::execModal(frmProdSemImpos);
    return boConfirma;
}

} // namespace Cli_prx51708

TfrmProdSemImpos::TfrmProdSemImpos(QWidget *parent)
    : FormDialog(parent), cdsProdSemImpos(new ClientDataSet(this)),
      dtsProdSemImpos(new DataSource(cdsProdSemImpos, this))
{
    setObjectName(QStringLiteral("frmProdSemImpos"));
    setWindowTitle(QStringLiteral("Visualiza produtos sem alíquota"));
    // Room for the whole message and a dozen products; larger lists scroll.
    setMinimumSize(560, 320);
    resize(640, 420);
    cdsProdSemImpos->setObjectName(QStringLiteral("cdsProdSemImpos"));
    dtsProdSemImpos->setObjectName(QStringLiteral("dtsProdSemImpos"));

    Field &branch = cdsProdSemImpos->addField(QStringLiteral("CDFILIAL"), FieldType::String, 15);
    branch.setDisplayLabel(QStringLiteral("Filial"));
    branch.setDisplayWidth(17);
    Field &table = cdsProdSemImpos->addField(QStringLiteral("CDTABEPREC"), FieldType::String, 3);
    table.setDisplayLabel(QStringLiteral("Tabela Preço"));
    table.setVisible(false);
    Field &code = cdsProdSemImpos->addField(QStringLiteral("CDARVPROD"), FieldType::String, 10);
    code.setDisplayLabel(QStringLiteral("Código"));
    // Shown through the product mask, as on the items page.
    code.setEditMask(DBPict(0));
    code.setDisplayWidth(12);
    Field &name = cdsProdSemImpos->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 55);
    name.setDisplayLabel(QStringLiteral("Nome"));
    name.setDisplayWidth(50);

    imgErroOri = new QLabel(this);
    imgErroOri->setObjectName(QStringLiteral("imgErroOri"));
    imgErroOri->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    memInforma = new QPlainTextEdit(this);
    memInforma->setObjectName(QStringLiteral("memInforma"));
    memInforma->setReadOnly(true);
    memInforma->setFrameShape(QFrame::NoFrame);
    memInforma->setFocusPolicy(Qt::NoFocus);
    memInforma->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memInforma->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One paragraph, wrapped by the memo to its width: a line break inside
    // the sentence left its end below the memo's edge.
    memInforma->setPlainText(QStringLiteral("\nOs produtos listados estão sem alíquota cadastrada. "
                                            "Favor alterar o cadastro para realizar aprovação.\n"));
    // Four lines: the text wraps into two at the narrowest width allowed.
    memInforma->setFixedHeight(4 * memInforma->fontMetrics().lineSpacing() +
                               2 * int(memInforma->document()->documentMargin()) + 4);
    dbgMensagem = new DBGrid(this);
    dbgMensagem->setObjectName(QStringLiteral("dbgMensagem"));
    dbgMensagem->setDataSource(dtsProdSemImpos);
    setReadOnlyList(*dbgMensagem);
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(imgErroOri, 0, Qt::AlignTop);
    top->addWidget(memInforma, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(dbgMensagem, 1);
    layout->addLayout(bottom);
    btnOK->setFocus();
}

TfrmProdSemImpos::~TfrmProdSemImpos()
{
    if (Cli_prx51708::frmProdSemImpos == this)
        Cli_prx51708::frmProdSemImpos = nullptr;
}

// The list is the caller's; without it there is nothing to show.
void TfrmProdSemImpos::FormCreate()
{
    FormDialog::FormCreate();
    Trad(this);
    dbgMensagem->setColor(dbgMensagem->palette().color(QPalette::Base));
    QWidget *caller = Cli_prx51708::frmOrig;
    auto *source =
        caller ? caller->findChild<ClientDataSet *>(QStringLiteral("cdsAliqProd")) : nullptr;
    if (!source || !source->isActive())
        throw std::runtime_error("A lista de produtos sem alíquota não está disponível.");
    cdsProdSemImpos->copyDataFrom(*source);
    cdsProdSemImpos->first();
}

void TfrmProdSemImpos::FormKeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        key = 0;
        btnOK->click();
    }
}

void TfrmProdSemImpos::btnSimClick()
{
    Cli_prx51708::boConfirma = true;
    close();
}

} // namespace prx
