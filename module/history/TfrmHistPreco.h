#pragma once

#include "package/PackageExport.h"

#include "forms/FormDialog.h"

#include <QDateTime>

class QCheckBox;
class QLabel;
class QPushButton;

namespace prx {

class ClientDataSet;
class DataSource;
class DBGrid;
class NetConnection;

// Whose history the dialog shows: the item in focus on the items page.
struct HistPrecoRequest
{
    QString branch;               // CDFILIAL
    QString table;                // CDTABEPREC
    QString tableLabel;           // code and name, as shown
    QDateTime period;             // the screen's period (DTINIVGPREC)
    QString product;              // CDPRODUTO
    QString productLabel;         // tree code and name, as shown
    NetConnection *net = nullptr; // not owned
};

// "Histórico de preços": who changed the product's prices in the table, when,
// by which operation, from what to what; newest first, of every period or
// of the screen's only. It shows only; it changes nothing.
class TfrmHistPreco : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmHistPreco(QWidget *parent = nullptr);

    void setRequest(const HistPrecoRequest &request);
    void FormCreate() override;
    void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers) override;
    // Reads the history again, of every period or of the screen's.
    void btnAtualizarClick();

    QLabel *lblProduto, *lblTabela, *lblTotal;
    QCheckBox *chbTodasVigencias;
    DBGrid *dbgHistorico;
    QPushButton *btnAtualizar, *btnFechar;
    ClientDataSet *cdsHistPreco; // owned (child)
    DataSource *dtsHistPreco;    // owned (child)

private:
    HistPrecoRequest m_request;
};

namespace history {

// Opens the dialog for the request, modal, in a new dialog on every call.
PKG_PRX51700_EXPORT void CriaHistPreco(const HistPrecoRequest &request);

} // namespace history

} // namespace prx
