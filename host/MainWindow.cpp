#include "MainWindow.h"

#include "services/HostConfig.h"
#include "services/HostDatabase.h"
#include "services/HostServices.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/ModuleLoader.h"
#include "services/UserAction.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

namespace prx {

namespace {

const QString kGeometryKey = QStringLiteral("janela/geometria");

QSettings windowSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("prx"),
                     QStringLiteral("prx-host"));
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_mdi(new QMdiArea(this)), m_statusText(new QLabel(this))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Retaguarda - Preços"));
    resize(1200, 800);

    m_mdi->setObjectName(QStringLiteral("mdiPrincipal"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    QMenu *prices = menuBar()->addMenu(QStringLiteral("&Preços"));
    prices->setObjectName(QStringLiteral("mnuPrecos"));
    QAction *priceTable = prices->addAction(QStringLiteral("&Tabela de Preços"));
    priceTable->setObjectName(QStringLiteral("mnuTabelaPrecos"));
    connect(priceTable, &QAction::triggered, this,
            [this] { openScreen(QStringLiteral("PRX51700")); });
    prices->addSeparator();
    QAction *quit = prices->addAction(QStringLiteral("&Sair"));
    quit->setObjectName(QStringLiteral("mnuSair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *windows = menuBar()->addMenu(QStringLiteral("&Janela"));
    windows->setObjectName(QStringLiteral("mnuJanela"));
    connect(windows->addAction(QStringLiteral("&Cascata")), &QAction::triggered, m_mdi,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, m_mdi,
            &QMdiArea::tileSubWindows);
    connect(windows->addAction(QStringLiteral("&Fechar todas")), &QAction::triggered, m_mdi,
            &QMdiArea::closeAllSubWindows);

    m_statusText->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addWidget(m_statusText, 1);

    setMdiChildHandler([this](QWidget *form) { return showChild(form); });
}

MainWindow::~MainWindow()
{
    setMdiChildHandler({});
}

QWidget *MainWindow::showChild(QWidget *form)
{
    const QList<QMdiSubWindow *> children = m_mdi->subWindowList();
    for (QMdiSubWindow *child : children) {
        if (child->widget() == form) {
            child->showNormal();
            m_mdi->setActiveSubWindow(child);
            return child;
        }
    }
    QMdiSubWindow *child = m_mdi->addSubWindow(form);
    child->setAttribute(Qt::WA_DeleteOnClose);
    // A form that frees itself on close takes its frame along, so that no
    // empty frame is left in the workspace.
    connect(form, &QObject::destroyed, child, [child] { child->close(); });
    child->setWindowTitle(form->windowTitle());
    child->setWindowIcon(form->windowIcon());
    // A screen takes the whole work area, its grids are wide; in the normal
    // window state its creator asks for, so it fills the area rather than
    // being maximised.
    child->setGeometry(QRect(QPoint(0, 0), m_mdi->viewport()->size()));
    child->show();
    m_mdi->setActiveSubWindow(child);
    return child;
}

void MainWindow::showAtStart()
{
    const QByteArray geometry = windowSettings().value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty() && restoreGeometry(geometry)) {
        show();
        return;
    }
    // Without a window manager to maximise it, the window still takes the
    // screen.
    if (const QScreen *where = screen())
        setGeometry(where->availableGeometry());
    showMaximized();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    windowSettings().setValue(kGeometryKey, saveGeometry());
    QMainWindow::closeEvent(event);
}

void MainWindow::startUp(const HostConfig &config)
{
    m_database = config.database;
    if (!m_database.isEmpty()) {
        QString error;
        if (HostDatabase::open(m_database, &error))
            readBranchName();
        else
            MensErro(error, false);
    }
    updateStatus();
}

void MainWindow::readBranchName()
{
    HostState &state = HostState::instance();
    const bool ok = runUserAction([&state] {
        LocalQuery q;
        if (state.branchCode.isEmpty()) {
            // No branch configured: work for the first one of the chain.
            q.setSql({QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL")});
        } else {
            q.setSql({QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL"),
                      QStringLiteral("WHERE CDFILIAL = :P_CDFILIAL")});
            q.setParam(QStringLiteral("P_CDFILIAL"), state.branchCode);
        }
        q.open();
        if (q.isEmpty()) {
            state.branchName.clear();
            MensErro(QStringLiteral("Filial %1 não cadastrada.").arg(state.branchCode), false);
            return;
        }
        state.branchCode = q.fieldByName(u"CDFILIAL").asString();
        state.branchName = q.fieldByName(u"NMFILIAL").asString();
    });
    if (!ok)
        state.branchName.clear();
}

void MainWindow::updateStatus()
{
    const HostState &state = HostState::instance();
    QString branch =
        state.branchCode.isEmpty() ? QStringLiteral("(não definida)") : state.branchCode;
    if (!state.branchName.isEmpty())
        branch += QStringLiteral(" - ") + state.branchName;
    const QString base =
        HostDatabase::isOpen() ? HostDatabase::location() : QStringLiteral("(sem base local)");
    m_statusText->setText(QStringLiteral("Filial: %1    Data: %2    Servidor: %3:%4    Base: %5")
                              .arg(branch, DataProc(state.branchCode).toString(u"dd/MM/yyyy"),
                                   state.serverHost, QString::number(state.serverPort), base));
}

QString MainWindow::moduleOfScreen(const QString &screenCode)
{
    const QString code = screenCode.trimmed().toUpper();
    if (code == QLatin1String("PRX51700"))
        return QStringLiteral("Pkg_prx51700");
    return {};
}

bool MainWindow::openScreen(const QString &screenCode)
{
    const QString module = moduleOfScreen(screenCode);
    if (module.isEmpty()) {
        MensErro(QStringLiteral("Tela %1 desconhecida.").arg(screenCode), false);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = LoadBPL(module);
    QApplication::restoreOverrideCursor();
    return ok;
}

} // namespace prx
