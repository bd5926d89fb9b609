#pragma once

#include "package/PackageExport.h"

#include "dataset/ColumnTable.h"
#include "forms/FormDialog.h"

#include <QDateTime>
#include <QIcon>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace prx {

class ClientDataSet;
class DataSource;
class DBGrid;
class NetConnection;

namespace report {
class PagedTableReport;
}
namespace sheet {
struct Sheet;
}

// The period the review is asked for: the one in focus on the screen.
struct RevisaoVigenciaRequest
{
    QString branch, branchName;   // CDFILIAL, NMFILIAL
    QString table, tableName;     // CDTABEPREC, NMTABEPREC
    QDateTime start;              // DTINIVGPREC
    NetConnection *net = nullptr; // not owned
};

// "Revisão da vigência": what the period changes at the till against the
// approved period that sells until it starts. The summary on top (counts per
// kind, largest increases and decreases, the average change, what blocks the
// approval), then one row per product, narrowed by kind; the list as shown
// goes to the print preview, a PDF or an XLSX workbook. It changes nothing.
class TfrmRevisaoVigencia : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmRevisaoVigencia(QWidget *parent = nullptr);
    ~TfrmRevisaoVigencia() override;

    void setRequest(const RevisaoVigenciaRequest &request);
    // Asks the server for the review and shows it.
    void load();
    void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers) override;

    void cmbFiltroChange();
    void btnVisualizarClick();
    void btnSalvarPdfClick();
    void btnExportarXlsxClick();

    // The file a PDF or a workbook is written to; empty when the user gives
    // up. The system's file dialog unless a test put its own answer.
    using FileAnswer = std::function<QString(const QString &title, const QString &suggested)>;
    static void setFileAnswer(FileAnswer answer);

    // The summary as label and value, in the order shown (the PDF and the
    // workbook show the same lines).
    QList<std::pair<QString, QString>> summaryLines() const;

    QLabel *lblPeriodo, *lblComparada, *lblBloqueio;
    QGroupBox *grpResumo, *grpAumentos, *grpReducoes;
    QLabel *lblAumentos, *lblReducoes;
    QComboBox *cmbFiltro;
    DBGrid *dbgRevisao;
    QLabel *lblTotal;
    QPushButton *btnVisualizar, *btnSalvarPdf, *btnExportarXlsx, *btnFechar;
    ClientDataSet *cdsRevisao; // owned (child)
    DataSource *dtsRevisao;    // owned (child)

private:
    QStringList extremeLines(const QString &code) const;
    QString filterName() const;
    std::unique_ptr<report::PagedTableReport> buildReport() const;
    QList<sheet::Sheet> buildSheets() const;
    QString suggestedName(const QString &suffix) const;
    void showSummary();

    RevisaoVigenciaRequest m_request;
    DataPacketPtr m_summary, m_extremes;
    QList<QLabel *> m_summaryValues; // owned by the layout, one per summary line
};

namespace review {

// Asks the server, then opens the dialog modal, a new one on every call.
PKG_PRX51700_EXPORT void CriaRevisaoVigencia(const RevisaoVigenciaRequest &request);

// The picture of the command: a price list under a magnifying glass.
QIcon reviewIcon();

} // namespace review

} // namespace prx
