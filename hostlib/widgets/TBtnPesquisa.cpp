#include "TBtnPesquisa.h"

#include "ToolIcons.h"

#include "dataset/DataSource.h"
#include "services/HostUi.h"
#include "services/UserAction.h"

namespace prx {

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : TButtonFlat(parent)
{
    setToolTip(QStringLiteral("Pesquisar"));
    setIcon(toolIcon(ToolIcon::Search));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(16, 16));
    connect(this, &QToolButton::clicked, this, [this] { runUserAction([this] { pesquisa(); }); });
}

bool TBtnPesquisa::pesquisa()
{
    if (BeforePesq)
        BeforePesq(*this);
    if (!m_source)
        return false;
    if (!HostUi::instance().pesquisar(*m_source, m_title))
        return false;
    if (AfterPesq)
        AfterPesq(*this);
    return true;
}

} // namespace prx
