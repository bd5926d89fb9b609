#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

namespace prx {

// "Alteração Automática" (PRX51706): alters the prices of promotional
// products of the current period in one step.
class TfrmCadAutPromocao : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutPromocao(QWidget *parent = nullptr);
    ~TfrmCadAutPromocao() override;

    void FormClose() override;
};

namespace Cli_prx51706 {

PKG_PRX51700_EXPORT extern TfrmCadAutPromocao *frmCadAutPromocao;
PKG_PRX51700_EXPORT extern bool boStCriado; // built and not closed since

// Builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void CriaCadAutPromocao();

} // namespace Cli_prx51706

} // namespace prx
