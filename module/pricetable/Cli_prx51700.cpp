#include "Cli_prx51700.h"

#include "TfrmTabePreco.h"

#include "package/WaitCursor.h"
#include "services/HostServices.h"

#include <QWidget>

#include <memory>
#include <stdexcept>

namespace prx::Cli_prx51700 {

TfrmTabePreco *frmTabePreco = nullptr;
bool boIdCriado = false;
bool boPrimVez = false;
bool boAtualizaBotoes = false;
QString stGrid;
QPoint Pt;

namespace {

// Runs when the module is loaded and when it is unloaded.
struct Unit
{
    Unit()
    {
        boIdCriado = false;
        stGrid = QStringLiteral("1");
    }
    ~Unit() { stGrid.clear(); }
};
const Unit unit;

} // namespace

void CriaTabePreco()
{
    WaitCursor cursor;
    if (!boIdCriado) {
        auto form = std::make_unique<TfrmTabePreco>();
        form->initialize();
        frmTabePreco = form.release();
        boIdCriado = true;
    }
    if (QWidget *holder = hostShowMdiChild(frmTabePreco)) {
        holder->showNormal();
        // The screen comes forward with the host's window, so that the
        // control chosen on its first activation really gets the focus.
        holder->window()->activateWindow();
    }
}

TfrmTabePreco &mainScreen()
{
    if (!frmTabePreco)
        throw std::runtime_error("A tela Tabela de Preços (PRX51700) deve estar aberta.");
    return *frmTabePreco;
}

} // namespace prx::Cli_prx51700
