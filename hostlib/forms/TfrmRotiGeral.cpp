#include "TfrmRotiGeral.h"

#include "ui_TfrmRotiGeral.h"

#include "services/UserAction.h"
#include "widgets/TButtonFlat.h"
#include "widgets/ToolIcons.h"

namespace prx {

TfrmRotiGeral::TfrmRotiGeral(QWidget *parent)
    : FormDialog(parent), m_ui(std::make_unique<Ui::TfrmRotiGeral>())
{
    m_ui->setupUi(this);
    grbCorpo = m_ui->grbCorpo;
    panBotoes = m_ui->panBotoes;
    sbtConfirma = m_ui->sbtConfirma;
    sbtFechar = m_ui->sbtFechar;
    lblCodTela = m_ui->lblCodTela;

    for (TButtonFlat *button : {sbtConfirma, sbtFechar}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(20, 20));
        button->setMinimumWidth(96);
    }
    sbtConfirma->setIcon(toolIcon(ToolIcon::Confirm));
    sbtFechar->setIcon(toolIcon(ToolIcon::Close));
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    lblCodTela->setFont(codeFont);

    connect(sbtConfirma, &QToolButton::clicked, this,
            [this] { runUserAction([this] { sbtConfirmaClick(); }); });
    connect(sbtFechar, &QToolButton::clicked, this,
            [this] { runUserAction([this] { sbtFecharClick(); }); });
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

void TfrmRotiGeral::setScreenCode(const QString &code)
{
    lblCodTela->setText(code);
}

QString TfrmRotiGeral::screenCode() const
{
    return lblCodTela->text();
}

void TfrmRotiGeral::sbtConfirmaClick() {}

void TfrmRotiGeral::sbtFecharClick()
{
    reject();
}

} // namespace prx
