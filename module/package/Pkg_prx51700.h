#pragma once

#include "package/PackageExport.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

class QWidget;

// The entry points of the module under plain names: IniProc, which the host
// calls after loading the module, and every creator under its unit's name.
// The same creators are reachable from C++ as Cli_prx517xx::Name() (see the
// unit headers); a failure while a form is built propagates to the caller.
extern "C" {

PKG_PRX51700_EXPORT void IniProc();

PKG_PRX51700_EXPORT void Cli_prx51700_CriaTabePreco();
PKG_PRX51700_EXPORT void Cli_prx51706_CriaCadAutPromocao();
PKG_PRX51700_EXPORT void Cli_prx51703_CriaImportaTabela();
PKG_PRX51700_EXPORT void Cli_prx51704_CriaCadAutTabePrec();
PKG_PRX51700_EXPORT void Cli_prx51702_CriaImportaVigencia();
PKG_PRX51700_EXPORT void Cli_prx51707_CriaCadAutPrecoDeferenciado();
PKG_PRX51700_EXPORT bool Cli_prx51708_CriaProdSemImpos(QWidget *form);
PKG_PRX51700_EXPORT void Cli_prx51710_criaRelInconsistencia(const QString &branch,
                                                            const QString &table,
                                                            const QVariant &errors);
PKG_PRX51700_EXPORT void Cli_prx51709_criaCopiaPreco(const QString &branch, const QString &table,
                                                     const QString &product, const QDateTime &start,
                                                     const QDateTime &end);
}
