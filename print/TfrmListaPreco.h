#pragma once

#include "PriceListOptions.h"
#include "PrintExport.h"

#include "dataset/ColumnTable.h"
#include "forms/TfrmDadosGerRel.h"
#include "services/Messages.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class TfrmListaPreco;
}

namespace prx {

class ClientDataSet;
class DataSource;
class NetConnection;
class TBtnPesquisa;

namespace pricelist {
class PriceList;
}

// "Lista de Preços" (PRX51701): the prices of one period of a price table,
// previewed, printed or saved as PDF. Opens on the branch, table and period
// the price table screen showed.
class TfrmListaPreco : public TfrmDadosGerRel
{
    Q_OBJECT

public:
    explicit TfrmListaPreco(QWidget *parent = nullptr);
    ~TfrmListaPreco() override;

    void FormCreate() override;
    void btnVisualizarClick() override;
    void btnImprimirClick();
    void btnSalvarPdfClick();
    void btnArquivoClick();

    // Leaving the branch or the table shows its name (or none) and the
    // periods to choose from; no message, the commands check.
    void medCdFilialExit();
    void medCdTabePrecExit();

    // The checks of every command, in screen order; a failure shows its
    // message, puts the focus on the control and abandons the command.
    void validate(bool needFile);
    // The options as the controls stand (after validate).
    pricelist::Options options() const;
    // Reads the period from the server and builds the list; abandons the
    // command, with a message, when no product is left to list.
    std::unique_ptr<pricelist::PriceList> loadList();

    static inline const QString kTitle = QStringLiteral("Lista de Preços");

    QLineEdit *medCdFilial, *edtNmFilial, *medCdTabePrec, *edtNmTabePrec, *edtArquivo;
    TBtnPesquisa *btpFilial, *btpTabePrec;
    QComboBox *cmbVigencia;
    QRadioButton *rbtCodigo, *rbtNome;
    QCheckBox *chbConsumidor, *chbSubsidiado, *chbDelivery, *chbComanda, *chbCalculado;
    QCheckBox *chbPrecoDif, *chbPromocao, *chbComPreco;
    QPushButton *btnImprimir, *btnSalvarPdf, *btnArquivo;
    NetConnection *netListaPreco;           // owned (child)
    ClientDataSet *cdsFilial, *cdsTabePrec; // owned (children)
    DataSource *dtsFilial, *dtsTabePrec;    // owned (children)
    TMessages msgPadrao;

private:
    void fail(QWidget *control, const QString &text);
    bool lookUpBranch();
    bool lookUpTable();
    void loadPeriods(const QDateTime &wanted);
    QString issuedText() const;

    std::unique_ptr<Ui::TfrmListaPreco> m_ui;
    QString m_segment;
    QString m_branchLoaded; // branch of the tables in cdsTabePrec
    QString m_periodsOf;    // "branch/table" of the periods in cmbVigencia
};

namespace Cli_prx51701 {

// Builds the dialog and shows it modally; a failure while it is built
// reaches the caller.
PRX51701_EXPORT void CriaListaPreco();

} // namespace Cli_prx51701

} // namespace prx
