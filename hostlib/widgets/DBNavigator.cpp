#include "DBNavigator.h"

#include "TButtonFlat.h"
#include "ToolIcons.h"

#include "dataset/DataSource.h"
#include "services/UserAction.h"

#include <QHBoxLayout>

namespace prx {

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    struct Look
    {
        ToolIcon icon;
        const char *hint;
        const char *name;
    };
    static const Look looks[] = {
        {ToolIcon::First, "Primeiro registro", "btnPrimeiro"},
        {ToolIcon::Prior, "Registro anterior", "btnAnterior"},
        {ToolIcon::Next, "Próximo registro", "btnProximo"},
        {ToolIcon::Last, "Último registro", "btnUltimo"},
    };
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        auto *b = new TButtonFlat(this);
        b->setObjectName(QLatin1String(looks[i].name));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setIcon(toolIcon(looks[i].icon));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(QString::fromUtf8(looks[i].hint));
        const Button which = Button(i);
        connect(b, &QToolButton::clicked, this,
                [this, which] { runUserAction([&] { navigate(which); }); });
        layout->addWidget(b);
        m_buttons[i] = b;
    }
    refresh();
}

void DBNavigator::setDataSource(DataSource *source)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections << connect(source, &DataSource::stateChanged, this, &DBNavigator::refresh)
                      << connect(source, &DataSource::layoutChanged, this, &DBNavigator::refresh)
                      << connect(source, &DataSource::currentChanged, this, &DBNavigator::refresh);
    }
    refresh();
}

void DBNavigator::navigate(Button which)
{
    ClientDataSet *ds = m_source ? m_source->dataSet() : nullptr;
    if (!ds || !ds->isActive())
        return;
    switch (which) {
    case Button::First:
        ds->first();
        break;
    case Button::Prior:
        ds->prior();
        break;
    case Button::Next:
        ds->next();
        break;
    case Button::Last:
        ds->last();
        break;
    }
    if (onClick)
        onClick(*this, which);
}

void DBNavigator::refresh()
{
    ClientDataSet *ds = m_source ? m_source->dataSet() : nullptr;
    const int count = ds && ds->isActive() ? ds->recordCount() : 0;
    const int row = ds ? ds->currentRow() : -1;
    const bool canBack = count > 0 && row > 0;
    const bool canForward = count > 0 && row < count - 1;
    m_buttons[int(Button::First)]->setEnabled(canBack);
    m_buttons[int(Button::Prior)]->setEnabled(canBack);
    m_buttons[int(Button::Next)]->setEnabled(canForward);
    m_buttons[int(Button::Last)]->setEnabled(canForward);
}

} // namespace prx
