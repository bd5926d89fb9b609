#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace prx::report {

// A report of a long table drawn straight on the pages with a painter: a
// title, the parameters it was issued with, the moment of issue, column
// titles repeated on every page, rows of one line each (a value too wide for
// its column is cut with an ellipsis), optional lines under a row that span
// the columns, a closing line and "Página i/n" at the foot of every page.
//
// Rows have a fixed height, so the pages are counted before anything is
// drawn, and the rows are asked for only as their page is drawn: a list of
// 100,000 items neither waits for a text layout nor holds its texts twice.
class PagedTableReport
{
public:
    struct Column
    {
        QString title;
        int widthPercent = 0; // of the page width
        bool alignRight = false;
    };
    // The texts of one row: a cell per column and the lines under it.
    struct RowText
    {
        QStringList cells;
        QStringList notes;
    };
    // Fills *out with the texts of a row (out arrives cleared).
    using RowProvider = std::function<void(int row, RowText *out)>;
    // How many lines go under a row.
    using NoteCounter = std::function<int(int row)>;
    // Told after each page drawn; false stops the drawing.
    using Progress = std::function<bool(int pagesDone, int pageCount)>;

    enum class Outcome
    {
        Written,
        Cancelled, // nothing is left at the path
        Failed,
    };

    explicit PagedTableReport(const QString &title);

    void addParameter(const QString &label, const QString &value);
    void setIssued(const QString &text) { m_issued = text; }
    void setColumns(const QList<Column> &columns) { m_columns = columns; }
    void setClosingLine(const QString &text) { m_closing = text; }
    // The rows, produced on demand; a null counter means no lines under rows.
    void setRows(int count, RowProvider provider, NoteCounter notes = {});
    // A row kept by the report itself (small reports).
    void addRow(const QStringList &cells, const QStringList &notes = {});

    QString title() const { return m_title; }
    int rowCount() const { return m_rowCount; }

    // Draws every page on the device (a printer, a PDF writer, a preview);
    // the number of pages, or -1 when `progress` stopped it.
    int paint(QPagedPaintDevice &device, const Progress &progress = {}) const;
    // Writes an A4 PDF through a temporary file that takes the path's place
    // only once the last page is drawn: a cancel or a failure leaves whatever
    // was at the path untouched. *error gets the reason of a failure.
    Outcome writePdf(const QString &path, QString *error = nullptr,
                     const Progress &progress = {}) const;
    // The print preview through the host (tests take the PDF there).
    void preview(const Progress &progress = {}) const;

private:
    struct Metrics;
    struct PageStart
    {
        int row;
        int line; // 0 the row itself, 1.. its notes
    };
    int notesOf(int row) const;
    void rowText(int row, RowText *out) const;
    std::vector<PageStart> paginate(int firstPageLines, int otherPageLines) const;
    qreal drawHeader(QPainter &p, const Metrics &m, bool firstPage) const;
    void drawColumnTitles(QPainter &p, const Metrics &m, qreal y) const;
    void drawFooter(QPainter &p, const Metrics &m, int page, int pages) const;

    QString m_title;
    QList<std::pair<QString, QString>> m_parameters;
    QString m_issued;
    QList<Column> m_columns;
    QString m_closing;
    int m_rowCount = 0;
    RowProvider m_provider;
    NoteCounter m_notes;
    std::vector<RowText> m_ownRows;
};

} // namespace prx::report
