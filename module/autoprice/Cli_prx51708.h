#pragma once

#include "package/PackageExport.h"

#include "forms/FormDialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace prx {

class ClientDataSet;
class DataSource;
class DBGrid;

// "Visualiza produtos sem alíquota": tells why a period could not be
// approved, listing the products without a tax rate that the calling form
// holds in its dataset "cdsAliqProd". It shows only; it changes nothing.
class TfrmProdSemImpos : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmProdSemImpos(QWidget *parent = nullptr);
    ~TfrmProdSemImpos() override;

    void FormCreate() override;
    void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers) override;
    void btnSimClick();

    QLabel *imgErroOri;
    QPlainTextEdit *memInforma;
    DBGrid *dbgMensagem;
    QPushButton *btnOK;
    ClientDataSet *cdsProdSemImpos; // owned (child)
    DataSource *dtsProdSemImpos;    // owned (child)
};

namespace Cli_prx51708 {

PKG_PRX51700_EXPORT extern TfrmProdSemImpos *frmProdSemImpos;
PKG_PRX51700_EXPORT extern QWidget *frmOrig; // the calling form
PKG_PRX51700_EXPORT extern bool boConfirma;

// Shows the list of the calling form's products without a tax rate, in a
// new dialog on every call; returns boConfirma as the dialog left it.
PKG_PRX51700_EXPORT bool CriaProdSemImpos(QWidget *form);

} // namespace Cli_prx51708

} // namespace prx
