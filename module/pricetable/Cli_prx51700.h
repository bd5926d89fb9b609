#pragma once

#include "package/PackageExport.h"

#include <QPoint>
#include <QString>

namespace prx {
class TfrmTabePreco;
}

// The unit of the price table screen: its creator and the state it keeps
// between calls.
namespace prx::Cli_prx51700 {

PKG_PRX51700_EXPORT extern TfrmTabePreco *frmTabePreco; // null while no screen is open
PKG_PRX51700_EXPORT extern bool boIdCriado;             // the screen is built and not closed since
PKG_PRX51700_EXPORT extern bool boPrimVez;              // its next activation is the first one
PKG_PRX51700_EXPORT extern bool boAtualizaBotoes;       // the commands may be recomputed
PKG_PRX51700_EXPORT extern QString stGrid;              // grid of the items page entered last
PKG_PRX51700_EXPORT extern QPoint Pt;                   // where the import/export menu opens

// Builds the screen when it is not open, then shows it in the host's
// workspace. A failure while building propagates and leaves boIdCriado false.
PKG_PRX51700_EXPORT void CriaTabePreco();

// The open screen, for the dialogs that work on its branch, table and period.
// Throws with a message for the user when it is not open.
PKG_PRX51700_EXPORT TfrmTabePreco &mainScreen();

} // namespace prx::Cli_prx51700
