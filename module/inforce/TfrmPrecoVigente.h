#pragma once

#include "package/PackageExport.h"

#include "dataset/ColumnTable.h"
#include "forms/FormDialog.h"
#include "widgets/TDateEditPlus.h"

#include <QList>
#include <utility>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace prx {

class NetConnection;

// What the price-in-force dialog asks about: the item in focus on the items
// page, and where to ask.
struct PrecoVigenteRequest
{
    QString branch;                                   // the branch that sells
    QString table;                                    // the table of the screen's period
    QString product;                                  // CDPRODUTO
    QString productLabel;                             // tree code and name, as shown
    QList<std::pair<QString, QString>> consumerTypes; // code, name
    NetConnection *net = nullptr;                     // not owned
};

// "Preço vigente": asks the server what the item costs at a moment, for a
// consumer type and a sale modality, and shows the price with the period,
// the rule that won and why. It changes nothing.
class TfrmPrecoVigente : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmPrecoVigente(QWidget *parent = nullptr);

    void setRequest(const PrecoVigenteRequest &request);
    void btnConsultarClick();
    // The answer's row, shown; exposed for the tests' sake.
    void showAnswer(const DataPacket &answer);

    QLabel *lblProduto, *lblTabela;
    TDateEditPlus *dtpMomento;
    QComboBox *cmbTipoCons, *cmbModalidade;
    QPushButton *btnConsultar, *btnFechar;
    QLabel *lblPreco, *lblSituacao, *lblPeriodo, *lblPrecoModalidade, *lblHorarioVenda, *lblRegra,
        *lblValidade, *lblCriterio, *lblFeriado;
    QPlainTextEdit *memExplicacao;

private:
    PrecoVigenteRequest m_request;
};

namespace inforce {

// Opens the dialog for the request, modal, in a new dialog on every call.
PKG_PRX51700_EXPORT void CriaPrecoVigente(const PrecoVigenteRequest &request);

} // namespace inforce

} // namespace prx
