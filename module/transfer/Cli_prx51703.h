#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

namespace prx {

class NetConnection;

// "Exportar Tabela de Preço" (PRX51703): copies the current table to other
// branches. Its list of products comes through a connection of its own.
class TfrmImportaTabela : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmImportaTabela(QWidget *parent = nullptr);
    ~TfrmImportaTabela() override;

    void FormCreate() override;
    void FormDestroy() override;

    NetConnection *netImportaTabela; // owned (child)
};

namespace Cli_prx51703 {

PKG_PRX51700_EXPORT extern TfrmImportaTabela *frmImportaTabela;
PKG_PRX51700_EXPORT extern bool boPrimVez; // the next activation is the dialog's first

// Builds a new dialog on every call (the price table screen must be open)
// and shows it modally.
PKG_PRX51700_EXPORT void CriaImportaTabela();

} // namespace Cli_prx51703

} // namespace prx
