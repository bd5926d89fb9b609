#pragma once

#include "package/PackageExport.h"

#include "forms/FormDialog.h"

#include <QDateTime>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace prx {

class NetConnection;
class TDateEditPlus;

namespace shelf {
class ShelfChangeList;
}

// Where the labels' report asks: the screen's branch and table.
struct AlteracoesPrecoRequest
{
    QString branch;
    QString table;
    QString tableLabel;           // code and name, as shown
    NetConnection *net = nullptr; // not owned
};

// "Alterações de preço para etiquetas": the products whose price in force
// changes between two moments, or between now and the start of the table's
// next approved period, previewed or saved as PDF for relabelling the
// shelves. It changes nothing.
class TfrmAlteracoesPreco : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmAlteracoesPreco(QWidget *parent = nullptr);
    ~TfrmAlteracoesPreco() override;

    void setRequest(const AlteracoesPrecoRequest &request);
    void btnVisualizarClick();
    void btnSalvarPdfClick();
    void btnArquivoClick();

    QLabel *lblTabela;
    QRadioButton *rbtMomentos, *rbtProximo;
    TDateEditPlus *dtpDe, *dtpAte;
    QCheckBox *chbRegras;
    QLineEdit *edtArquivo;
    QPushButton *btnArquivo, *btnVisualizar, *btnSalvarPdf, *btnFechar;

private:
    // The server's answer for the moments chosen; an empty list is told and
    // abandons the command.
    std::unique_ptr<shelf::ShelfChangeList> loadList();
    void updateMoments();

    AlteracoesPrecoRequest m_request;
};

namespace shelf {

// Opens the dialog for the request, modal, in a new dialog on every call.
PKG_PRX51700_EXPORT void CriaAlteracoesPreco(const AlteracoesPrecoRequest &request);

} // namespace shelf

} // namespace prx
