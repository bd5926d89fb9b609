#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmDadosGerRel.h"
#include "services/Messages.h"

#include <QVariant>

class QComboBox;

namespace prx {

class ClientDataSet;

namespace report {
class TableReport;
struct Definition;
} // namespace report

// "Inconsistências de Preços Copiados" (PRX51710): the report of the
// products whose differentiated prices could not be copied.
class TfrmInconsistenciaCopia : public TfrmDadosGerRel
{
    Q_OBJECT

public:
    explicit TfrmInconsistenciaCopia(QWidget *parent = nullptr);
    ~TfrmInconsistenciaCopia() override;

    void FormCreate() override;
    void btnVisualizarClick() override;
    // Before the report is filled: refuses any other report than this
    // screen's, and gives the report the parameters it declares.
    void rpddPadraoBeforeGetQueryParams(const report::Definition &definition,
                                        QList<std::pair<QString, QString>> *params);
    // The report as it is previewed.
    report::TableReport buildReport();

    static inline const QString kTitle = QStringLiteral("Inconsistências de Preços Copiados");
    static inline const QString kReportCode = QStringLiteral("PRX517");

    ClientDataSet *cdsErrosCopia; // owned (child)
    QComboBox *cmbRelatorio;      // the report chooser
    TMessages msgPadrao;
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
