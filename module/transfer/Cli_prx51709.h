#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <QDateTime>

namespace prx {

// "Copiar Preços Diferenciados" (PRX51709): copies the differentiated prices
// of one product to other products of the same period.
class TfrmCopiaPreco : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCopiaPreco(QWidget *parent = nullptr);
    ~TfrmCopiaPreco() override;

    void FormClose() override;
};

namespace Cli_prx51709 {

PKG_PRX51700_EXPORT extern TfrmCopiaPreco *frmCopiaPreco;
PKG_PRX51700_EXPORT extern bool boCriado; // built and not closed since
PKG_PRX51700_EXPORT extern QString stTabPrec;
PKG_PRX51700_EXPORT extern QString stCdProdOrigem;
PKG_PRX51700_EXPORT extern QString stProdDest; // the chosen products; emptied by every call
PKG_PRX51700_EXPORT extern QDateTime dtVigIni;
PKG_PRX51700_EXPORT extern QDateTime dtVigFin;

// Keeps the arguments for the dialog (the branch in Cli_prx51710::stFilial),
// builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void criaCopiaPreco(const QString &branch, const QString &table,
                                        const QString &product, const QDateTime &start,
                                        const QDateTime &end);

} // namespace Cli_prx51709

} // namespace prx
