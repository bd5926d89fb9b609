#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <QDateTime>

#include <memory>

class QLineEdit;

namespace Ui {
class TfrmImportaVigencia;
}

namespace prx {

class ClientDataSet;
class DataSource;
class LocalQuery;
class TBtnPesquisa;
class TDateEditPlus;

// "Importar Vigência" (PRX51702): fills the price table screen's current
// period (the destination) with the prices of another period of the same
// table (the origin), asking first when the destination has prices of its
// own. The server does the import, through the screen's connection.
class TfrmImportaVigencia : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmImportaVigencia(QWidget *parent = nullptr);
    ~TfrmImportaVigencia() override;

    void FormActivate() override;
    void sbtConfirmaClick() override;

    // The typed origin start must open another period of the table; its end
    // is then shown. Before the import the check is left to the exit of the
    // edit, unless the edit still has the focus.
    void Vd_DtIniVig(bool mandatory);
    void depDtIniOrigChange();
    void btpVigOrigemBeforePesq();
    void btpVigOrigemAfterPesq();
    void qryTabeVendCalcFields();

    QLineEdit *edtCdFilial, *edtNmFilial, *edtCdTabePrec, *edtNmTabePrec;
    TDateEditPlus *depDtIniDest, *depDtFinDest, *depDtIniOrig, *depDtFinOrig;
    TBtnPesquisa *btpVigOrigem;
    LocalQuery *qryTabeVend;             // owned (child)
    DataSource *dtsTabeVend;             // owned (child)
    ClientDataSet *cdsVerifItemPrecoCad; // owned (child)

private:
    [[noreturn]] void fail(const QString &key);
    void openPeriods(const QDateTime &start, const QString &all);

    std::unique_ptr<Ui::TfrmImportaVigencia> m_ui;
    QDateTime m_destStart, m_destEnd;
};

namespace Cli_prx51702 {

PKG_PRX51700_EXPORT extern TfrmImportaVigencia *frmImportaVigencia;

// Builds a new dialog on every call and shows it modally. The price table
// screen must be open on a period: it is the destination.
PKG_PRX51700_EXPORT void CriaImportaVigencia();

} // namespace Cli_prx51702

} // namespace prx
