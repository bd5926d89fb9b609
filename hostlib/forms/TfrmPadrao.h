#pragma once

#include "services/Messages.h"
#include "widgets/DBNavigator.h"

#include <QWidget>

#include <memory>

class QAbstractButton;
class QAction;
class QFrame;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QTabWidget;

namespace Ui {
class TfrmPadrao;
}

namespace prx {

class DBGrid;
class DBText;
class DataSource;
class TButtonFlat;

// The maintenance form every screen of the host is built on: a menu and a
// toolbar with the standard commands (each button with its menu twin), a
// list page with a grid over dtsPadrao and a detail page, and a status bar
// with a navigator, a bound text and the screen code. It lives in a child
// window of the host's work area; closing it frees it.
//
// Screens override the handlers. Every handler runs inside the user-action
// guard: a silent abort ends it quietly, any other failure is shown.
class TfrmPadrao : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmPadrao(QWidget *parent = nullptr);
    ~TfrmPadrao() override;

    // Runs FormCreate once the screen's own constructor is done; a failure
    // reaches the caller (the screen's creator), which then does not keep
    // the form. Without this call FormCreate runs when the form is first
    // shown.
    void initialize();
    bool isInitialized() const { return m_created; }

    // The window title; the screen code goes to the status bar.
    void setCaption(const QString &caption);
    QString caption() const;
    void setScreenCode(const QString &code);
    QString screenCode() const;

    // Adds a button to the toolbar after the standard commands.
    void addToolButton(QWidget *button);
    // Every standard command button takes the enabled state of its menu twin.
    void buttonsFollowMenus();
    // The control whose enabled state follows the browse state of the screen's
    // data source: the Find command (button and menu entry).
    void setBrowseControlEnabled(bool enabled);
    void setPageEnabled(QWidget *page, bool enabled);
    bool isPageEnabled(QWidget *page) const;

    // --- command handlers (button and menu entry run the same one)
    virtual void sbtIncluirClick();
    virtual void sbtAlterarClick();
    virtual void sbtExcluirClick();
    virtual void sbtConfirmarClick();
    virtual void sbtCancelarClick();
    virtual void sbtVerificarClick();
    virtual void sbtProcurarClick();
    virtual void sbtImprimirClick();
    virtual void sbtAutomaticoClick();
    virtual void sbtAjudaClick();
    virtual void sbtFecharClick();
    virtual void mnuFolhaDadosClick();
    virtual void mnuFormularioClick();
    virtual void pgcPadraoChange();
    virtual void dtsPadraoStateChange();
    virtual void dbnPadraoClick(DBNavigator::Button button);
    // Bound to the key-down event of dbgPadrao; other grids of a screen may
    // take it too. Ctrl+Delete deletes a row only from a grid that may edit
    // and whose dataset is in browse state with rows; otherwise it is dropped.
    virtual void dbgPadraoKeyDown(DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers);

    // --- life of the form
    virtual void FormCreate();
    virtual void FormActivate(); // every time the form becomes the active one
    virtual void FormClose();    // a failure keeps the form open
    virtual void FormDestroy();  // once, when the closed form is about to be freed
    // Every key typed in the form, before the control gets it; set key to 0
    // to drop it, or to another key to hand that on instead.
    virtual void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers);

    // --- the form's parts, by the names the screens use
    QMenuBar *menuBar;
    QMenu *mnuRegistro;
    QMenu *mnuExibir;
    QMenu *mnuMenuAjuda;
    QAction *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuConfirmar, *mnuCancelar, *mnuVerificar,
        *mnuProcurar, *mnuImprimir, *mnuAutomatico, *mnuAjuda, *mnuFechar;
    QAction *mnuFolhaDados, *mnuFormulario;
    QFrame *panBotoes;
    TButtonFlat *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtConfirmar, *sbtCancelar, *sbtVerificar,
        *sbtProcurar, *sbtImprimir, *sbtAutomatico, *sbtAjuda, *sbtFechar;
    QTabWidget *pgcPadrao;
    QWidget *tshFolhaDados;
    QWidget *tshFormulario;
    DBGrid *dbgPadrao;
    DataSource *dtsPadrao; // owned (child)
    QFrame *panNavigator;
    DBNavigator *dbnPadrao;
    DBText *dbtNome;
    QLabel *lblCodTela;
    TMessages msgPadrao;
    TMessages msgMensagensPadroes;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void connectCommand(TButtonFlat *button, QAction *twin, void (TfrmPadrao::*handler)());
    void run(void (TfrmPadrao::*handler)());
    void activated();
    void deactivated();
    void destroying();
    QList<QPair<QAbstractButton *, QAction *>> twins() const;

    std::unique_ptr<Ui::TfrmPadrao> m_ui;
    QHBoxLayout *m_addedButtons; // owned by the toolbar's layout
    bool m_created = false;
    bool m_active = false;
    bool m_destroyed = false;
    bool m_watchingSubWindow = false;
};

} // namespace prx
