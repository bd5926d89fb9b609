#include "TfrmPadrao.h"

#include "ui_TfrmPadrao.h"

#include "FormKeyFilter.h"

#include "dataset/DataSource.h"
#include "services/HostUi.h"
#include "services/UserAction.h"
#include "widgets/DBGrid.h"
#include "widgets/DBText.h"
#include "widgets/TButtonFlat.h"
#include "widgets/ToolIcons.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace prx {

TfrmPadrao::TfrmPadrao(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::TfrmPadrao>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);

    mnuIncluir = m_ui->mnuIncluir;
    mnuAlterar = m_ui->mnuAlterar;
    mnuExcluir = m_ui->mnuExcluir;
    mnuConfirmar = m_ui->mnuConfirmar;
    mnuCancelar = m_ui->mnuCancelar;
    mnuVerificar = m_ui->mnuVerificar;
    mnuProcurar = m_ui->mnuProcurar;
    mnuImprimir = m_ui->mnuImprimir;
    mnuAutomatico = m_ui->mnuAutomatico;
    mnuAjuda = m_ui->mnuAjuda;
    mnuFechar = m_ui->mnuFechar;
    mnuFolhaDados = m_ui->mnuFolhaDados;
    mnuFormulario = m_ui->mnuFormulario;
    panBotoes = m_ui->panBotoes;
    sbtIncluir = m_ui->sbtIncluir;
    sbtAlterar = m_ui->sbtAlterar;
    sbtExcluir = m_ui->sbtExcluir;
    sbtConfirmar = m_ui->sbtConfirmar;
    sbtCancelar = m_ui->sbtCancelar;
    sbtVerificar = m_ui->sbtVerificar;
    sbtProcurar = m_ui->sbtProcurar;
    sbtImprimir = m_ui->sbtImprimir;
    sbtAutomatico = m_ui->sbtAutomatico;
    sbtAjuda = m_ui->sbtAjuda;
    sbtFechar = m_ui->sbtFechar;
    pgcPadrao = m_ui->pgcPadrao;
    tshFolhaDados = m_ui->tshFolhaDados;
    tshFormulario = m_ui->tshFormulario;
    dbgPadrao = m_ui->dbgPadrao;
    panNavigator = m_ui->panNavigator;
    dbnPadrao = m_ui->dbnPadrao;
    dbtNome = m_ui->dbtNome;
    lblCodTela = m_ui->lblCodTela;
    m_addedButtons = m_ui->layBotoesAdicionais;

    const QPair<TButtonFlat *, ToolIcon> icons[] = {
        {sbtIncluir, ToolIcon::Include},      {sbtAlterar, ToolIcon::Alter},
        {sbtExcluir, ToolIcon::Delete},       {sbtConfirmar, ToolIcon::Confirm},
        {sbtCancelar, ToolIcon::Cancel},      {sbtVerificar, ToolIcon::Refresh},
        {sbtProcurar, ToolIcon::Find},        {sbtImprimir, ToolIcon::Print},
        {sbtAutomatico, ToolIcon::Automatic}, {sbtAjuda, ToolIcon::Help},
        {sbtFechar, ToolIcon::Close},
    };
    for (const auto &[button, icon] : icons) {
        button->setIcon(toolIcon(icon));
        button->setMinimumWidth(58);
    }
    // Screens that have an automatic routine show it; elsewhere it would be
    // a button that does nothing.
    sbtAutomatico->hide();
    mnuAutomatico->setVisible(false);

    dtsPadrao = new DataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    dbgPadrao->setDataSource(dtsPadrao);
    dbgPadrao->setOptions(dbgPadrao->options() | DBGrid::AlwaysShowSelection);
    dbgPadrao->onKeyDown = [this](DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers) {
        dbgPadraoKeyDown(grid, key, modifiers);
    };
    dbnPadrao->setDataSource(dtsPadrao);
    dbnPadrao->onClick = [this](DBNavigator &, DBNavigator::Button button) {
        dbnPadraoClick(button);
    };
    QFont codeFont = lblCodTela->font();
    codeFont.setBold(true);
    lblCodTela->setFont(codeFont);

    buildMenus();
    connectCommand(sbtIncluir, mnuIncluir, &TfrmPadrao::sbtIncluirClick);
    connectCommand(sbtAlterar, mnuAlterar, &TfrmPadrao::sbtAlterarClick);
    connectCommand(sbtExcluir, mnuExcluir, &TfrmPadrao::sbtExcluirClick);
    connectCommand(sbtConfirmar, mnuConfirmar, &TfrmPadrao::sbtConfirmarClick);
    connectCommand(sbtCancelar, mnuCancelar, &TfrmPadrao::sbtCancelarClick);
    connectCommand(sbtVerificar, mnuVerificar, &TfrmPadrao::sbtVerificarClick);
    connectCommand(sbtProcurar, mnuProcurar, &TfrmPadrao::sbtProcurarClick);
    connectCommand(sbtImprimir, mnuImprimir, &TfrmPadrao::sbtImprimirClick);
    connectCommand(sbtAutomatico, mnuAutomatico, &TfrmPadrao::sbtAutomaticoClick);
    connectCommand(sbtAjuda, mnuAjuda, &TfrmPadrao::sbtAjudaClick);
    connectCommand(sbtFechar, mnuFechar, &TfrmPadrao::sbtFecharClick);
    connect(mnuFolhaDados, &QAction::triggered, this,
            [this] { run(&TfrmPadrao::mnuFolhaDadosClick); });
    connect(mnuFormulario, &QAction::triggered, this,
            [this] { run(&TfrmPadrao::mnuFormularioClick); });
    connect(pgcPadrao, &QTabWidget::currentChanged, this,
            [this] { run(&TfrmPadrao::pgcPadraoChange); });
    connect(dtsPadrao, &DataSource::stateChanged, this,
            [this] { run(&TfrmPadrao::dtsPadraoStateChange); });

    new FormKeyFilter(
        this, [this](int &key, Qt::KeyboardModifiers modifiers) { FormKeyDown(key, modifiers); });
}

TfrmPadrao::~TfrmPadrao() = default;

void TfrmPadrao::buildMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    mnuRegistro = menuBar->addMenu(QStringLiteral("&Registro"));
    mnuRegistro->setObjectName(QStringLiteral("mnuRegistro"));
    mnuRegistro->addActions({mnuIncluir, mnuAlterar, mnuExcluir});
    mnuRegistro->addSeparator();
    mnuRegistro->addActions({mnuConfirmar, mnuCancelar});
    mnuRegistro->addSeparator();
    mnuRegistro->addActions({mnuVerificar, mnuProcurar, mnuAutomatico});
    mnuRegistro->addSeparator();
    mnuRegistro->addAction(mnuImprimir);
    mnuRegistro->addSeparator();
    mnuRegistro->addAction(mnuFechar);
    mnuExibir = menuBar->addMenu(QStringLiteral("E&xibir"));
    mnuExibir->setObjectName(QStringLiteral("mnuExibir"));
    mnuExibir->addActions({mnuFolhaDados, mnuFormulario});
    mnuMenuAjuda = menuBar->addMenu(QStringLiteral("Aj&uda"));
    mnuMenuAjuda->setObjectName(QStringLiteral("mnuMenuAjuda"));
    mnuMenuAjuda->addAction(mnuAjuda);
    layout()->setMenuBar(menuBar);

    const QPair<QAction *, ToolIcon> icons[] = {
        {mnuIncluir, ToolIcon::Include},      {mnuAlterar, ToolIcon::Alter},
        {mnuExcluir, ToolIcon::Delete},       {mnuConfirmar, ToolIcon::Confirm},
        {mnuCancelar, ToolIcon::Cancel},      {mnuVerificar, ToolIcon::Refresh},
        {mnuProcurar, ToolIcon::Find},        {mnuImprimir, ToolIcon::Print},
        {mnuAutomatico, ToolIcon::Automatic}, {mnuAjuda, ToolIcon::Help},
        {mnuFechar, ToolIcon::Close},
    };
    for (const auto &[action, icon] : icons)
        action->setIcon(toolIcon(icon));
}

void TfrmPadrao::connectCommand(TButtonFlat *button, QAction *twin, void (TfrmPadrao::*handler)())
{
    connect(button, &QToolButton::clicked, this, [this, handler] { run(handler); });
    connect(twin, &QAction::triggered, this, [this, handler] { run(handler); });
}

void TfrmPadrao::run(void (TfrmPadrao::*handler)())
{
    runUserAction([this, handler] { (this->*handler)(); });
}

QList<QPair<QAbstractButton *, QAction *>> TfrmPadrao::twins() const
{
    return {
        {sbtIncluir, mnuIncluir},     {sbtAlterar, mnuAlterar},   {sbtExcluir, mnuExcluir},
        {sbtConfirmar, mnuConfirmar}, {sbtCancelar, mnuCancelar}, {sbtVerificar, mnuVerificar},
        {sbtProcurar, mnuProcurar},   {sbtImprimir, mnuImprimir}, {sbtAutomatico, mnuAutomatico},
        {sbtAjuda, mnuAjuda},         {sbtFechar, mnuFechar}};
}

void TfrmPadrao::buttonsFollowMenus()
{
    for (const auto &[button, twin] : twins())
        FollowTwin(button, twin);
}

void TfrmPadrao::setBrowseControlEnabled(bool enabled)
{
    mnuProcurar->setEnabled(enabled);
    FollowTwin(sbtProcurar, mnuProcurar);
}

void TfrmPadrao::setPageEnabled(QWidget *page, bool enabled)
{
    const int index = pgcPadrao->indexOf(page);
    if (index >= 0)
        pgcPadrao->setTabEnabled(index, enabled);
    if (page == tshFolhaDados)
        mnuFolhaDados->setEnabled(enabled);
    else if (page == tshFormulario)
        mnuFormulario->setEnabled(enabled);
}

bool TfrmPadrao::isPageEnabled(QWidget *page) const
{
    const int index = pgcPadrao->indexOf(page);
    return index >= 0 && pgcPadrao->isTabEnabled(index);
}

void TfrmPadrao::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

QString TfrmPadrao::caption() const
{
    return windowTitle();
}

void TfrmPadrao::setScreenCode(const QString &code)
{
    lblCodTela->setText(code);
}

QString TfrmPadrao::screenCode() const
{
    return lblCodTela->text();
}

void TfrmPadrao::addToolButton(QWidget *button)
{
    button->setParent(panBotoes);
    m_addedButtons->addWidget(button);
}

// ---------------------------------------------------------------- commands

void TfrmPadrao::sbtIncluirClick()
{
    if (ClientDataSet *ds = dtsPadrao->dataSet()) {
        ds->append();
        dbgPadrao->setFocus();
    }
}

void TfrmPadrao::sbtAlterarClick()
{
    if (ClientDataSet *ds = dtsPadrao->dataSet()) {
        ds->edit();
        dbgPadrao->setFocus();
    }
}

void TfrmPadrao::sbtExcluirClick()
{
    ClientDataSet *ds = dtsPadrao->dataSet();
    if (!ds || !ds->isActive() || ds->isEmpty())
        return;
    const QString question = msgMensagensPadroes.contains(QStringLiteral("Excl"))
                                 ? msgMensagensPadroes.Msg(QStringLiteral("Excl"))
                                 : QStringLiteral("Confirma exclusão?");
    if (HostUi::instance().messageBox(question, MsgKind::Confirmation, {MsgYes, MsgNo}) == MsgYes)
        ds->deleteRecord();
}

void TfrmPadrao::sbtConfirmarClick()
{
    if (ClientDataSet *ds = dtsPadrao->dataSet())
        ds->post();
}

void TfrmPadrao::sbtCancelarClick()
{
    if (ClientDataSet *ds = dtsPadrao->dataSet())
        ds->cancel();
}

void TfrmPadrao::sbtVerificarClick() {}

void TfrmPadrao::sbtProcurarClick()
{
    ClientDataSet *ds = dtsPadrao->dataSet();
    if (ds && ds->isActive())
        HostUi::instance().procura(*ds);
}

void TfrmPadrao::sbtImprimirClick() {}

void TfrmPadrao::sbtAutomaticoClick() {}

void TfrmPadrao::sbtAjudaClick()
{
    const QString code =
        screenCode().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(screenCode());
    HostUi::instance().messageBox(
        QStringLiteral("Não há ajuda disponível para a tela %1%2.").arg(caption(), code),
        MsgKind::Information, {MsgOk});
}

void TfrmPadrao::sbtFecharClick()
{
    close();
}

void TfrmPadrao::mnuFolhaDadosClick()
{
    if (isPageEnabled(tshFolhaDados))
        pgcPadrao->setCurrentWidget(tshFolhaDados);
    mnuFolhaDados->setChecked(pgcPadrao->currentWidget() == tshFolhaDados);
}

void TfrmPadrao::mnuFormularioClick()
{
    if (isPageEnabled(tshFormulario))
        pgcPadrao->setCurrentWidget(tshFormulario);
    mnuFormulario->setChecked(pgcPadrao->currentWidget() == tshFormulario);
}

void TfrmPadrao::pgcPadraoChange()
{
    mnuFolhaDados->setChecked(pgcPadrao->currentWidget() == tshFolhaDados);
    mnuFormulario->setChecked(pgcPadrao->currentWidget() == tshFormulario);
}

// The plain enabling of the commands; screens with more than one dataset
// compute their own.
void TfrmPadrao::dtsPadraoStateChange()
{
    const ClientDataSet *ds = dtsPadrao->dataSet();
    const DataSetState state = dtsPadrao->state();
    const bool browse = state == DataSetState::Browse;
    const bool editing = state == DataSetState::Edit || state == DataSetState::Insert;
    const bool rows = ds && ds->isActive() && !ds->isEmpty();
    mnuIncluir->setEnabled(browse);
    mnuAlterar->setEnabled(browse && rows);
    mnuExcluir->setEnabled(browse && rows);
    mnuConfirmar->setEnabled(editing);
    mnuCancelar->setEnabled(editing);
    mnuVerificar->setEnabled(browse);
    mnuProcurar->setEnabled(browse && rows);
    buttonsFollowMenus();
}

void TfrmPadrao::dbnPadraoClick(DBNavigator::Button) {}

void TfrmPadrao::dbgPadraoKeyDown(DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Delete || !(modifiers & Qt::ControlModifier))
        return;
    const ClientDataSet *ds = grid.dataSet();
    const bool deletable = ds && ds->state() == DataSetState::Browse && !ds->isEmpty() &&
                           grid.testOption(DBGrid::Editing) && !grid.isReadOnly();
    if (!deletable)
        key = 0;
}

// ---------------------------------------------------------------- life

void TfrmPadrao::initialize()
{
    if (m_created)
        return;
    m_created = true;
    FormCreate();
}

void TfrmPadrao::FormCreate()
{
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    pgcPadraoChange();
    dtsPadraoStateChange();
}

void TfrmPadrao::FormActivate() {}

void TfrmPadrao::FormClose() {}

void TfrmPadrao::FormDestroy() {}

void TfrmPadrao::FormKeyDown(int &, Qt::KeyboardModifiers) {}

void TfrmPadrao::showEvent(QShowEvent *event)
{
    if (!m_created)
        runUserAction([this] { initialize(); });
    QWidget::showEvent(event);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && !m_watchingSubWindow) {
        // A child window of the work area is activated among its siblings,
        // not as a window of its own.
        m_watchingSubWindow = true;
        connect(sub, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates before, Qt::WindowStates now) {
                    if (now.testFlag(Qt::WindowActive) && !before.testFlag(Qt::WindowActive))
                        activated();
                    else if (!now.testFlag(Qt::WindowActive) && before.testFlag(Qt::WindowActive))
                        deactivated();
                });
        if (sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub)
            activated();
    } else if (isWindow() && isActiveWindow()) {
        activated();
    }
}

bool TfrmPadrao::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        if (isWindow())
            activated();
        break;
    case QEvent::WindowDeactivate:
        if (isWindow())
            deactivated();
        break;
    case QEvent::DeferredDelete:
        destroying();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TfrmPadrao::activated()
{
    if (m_active || !isVisible())
        return;
    m_active = true;
    runUserAction([this] { FormActivate(); });
}

void TfrmPadrao::deactivated()
{
    m_active = false;
}

void TfrmPadrao::destroying()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    runUserAction([this] { FormDestroy(); });
}

void TfrmPadrao::closeEvent(QCloseEvent *event)
{
    if (!runUserAction([this] { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
    if (testAttribute(Qt::WA_DeleteOnClose))
        destroying(); // the form is freed next; nothing of it runs in between
    // The child window of the work area goes with its form.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
}

} // namespace prx
