#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmDadosGerRel.h"

#include <QVariant>

namespace prx {

class ClientDataSet;

// "Inconsistências de Preços Copiados" (PRX51710): the report of the
// products whose differentiated prices could not be copied.
class TfrmInconsistenciaCopia : public TfrmDadosGerRel
{
    Q_OBJECT

public:
    explicit TfrmInconsistenciaCopia(QWidget *parent = nullptr);
    ~TfrmInconsistenciaCopia() override;

    void FormCreate() override;

    ClientDataSet *cdsErrosCopia; // owned (child)
};

namespace Cli_prx51710 {

PKG_PRX51700_EXPORT extern TfrmInconsistenciaCopia *frmInconsistenciaCopia;
PKG_PRX51700_EXPORT extern QString stFilial; // also the copy dialog's branch
PKG_PRX51700_EXPORT extern QString stTabePrec;
PKG_PRX51700_EXPORT extern QVariant oleErros; // the failed products, a data packet

// Keeps a copy of the arguments and shows a new report dialog modally.
PKG_PRX51700_EXPORT void criaRelInconsistencia(const QString &branch, const QString &table,
                                               const QVariant &errors);

} // namespace Cli_prx51710

} // namespace prx
