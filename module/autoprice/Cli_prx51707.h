#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

namespace prx {

// "Cadastro Automático de Preços Diferenciados" (PRX51707): creates the
// differentiated prices of many products of the current period at once.
class TfrmCadAutPrecoDeferenciado : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutPrecoDeferenciado(QWidget *parent = nullptr);
    ~TfrmCadAutPrecoDeferenciado() override;

    void FormClose() override;
};

namespace Cli_prx51707 {

PKG_PRX51700_EXPORT extern TfrmCadAutPrecoDeferenciado *frmCadAutPrecoDeferenciado;
PKG_PRX51700_EXPORT extern bool boStCriado; // built and not closed since

// Builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void CriaCadAutPrecoDeferenciado();

} // namespace Cli_prx51707

} // namespace prx
