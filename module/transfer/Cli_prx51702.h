#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

namespace prx {

// "Importar Vigência" (PRX51702): brings the prices of a validity period of
// another table into the current table.
class TfrmImportaVigencia : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmImportaVigencia(QWidget *parent = nullptr);
    ~TfrmImportaVigencia() override;
};

namespace Cli_prx51702 {

PKG_PRX51700_EXPORT extern TfrmImportaVigencia *frmImportaVigencia;

// Builds a new dialog on every call (the price table screen must be open)
// and shows it modally.
PKG_PRX51700_EXPORT void CriaImportaVigencia();

} // namespace Cli_prx51702

} // namespace prx
