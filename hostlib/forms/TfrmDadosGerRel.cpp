#include "TfrmDadosGerRel.h"

#include "ui_TfrmDadosGerRel.h"

#include "services/UserAction.h"

namespace prx {

TfrmDadosGerRel::TfrmDadosGerRel(QWidget *parent)
    : FormDialog(parent), m_ui(std::make_unique<Ui::TfrmDadosGerRel>())
{
    m_ui->setupUi(this);
    lblTitulo = m_ui->lblTitulo;
    grbParametros = m_ui->grbParametros;
    layParametros = m_ui->layParametros;
    btnVisualizar = m_ui->btnVisualizar;
    btnFechar = m_ui->btnFechar;
    lblCodTela = m_ui->lblCodTela;

    QFont titleFont = lblTitulo->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    lblTitulo->setFont(titleFont);
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    lblCodTela->setFont(codeFont);

    connect(btnVisualizar, &QPushButton::clicked, this,
            [this] { runUserAction([this] { btnVisualizarClick(); }); });
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::setTitle(const QString &title)
{
    lblTitulo->setText(title);
    setWindowTitle(title);
}

QString TfrmDadosGerRel::title() const
{
    return lblTitulo->text();
}

void TfrmDadosGerRel::setScreenCode(const QString &code)
{
    lblCodTela->setText(code);
}

void TfrmDadosGerRel::addParameter(const QString &label, QWidget *control)
{
    layParametros->addRow(label, control);
}

void TfrmDadosGerRel::btnVisualizarClick() {}

} // namespace prx
