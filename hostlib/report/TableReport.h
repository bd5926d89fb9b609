#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QPagedPaintDevice;
class QTextDocument;

namespace prx::report {

// A report of one table: a title, the parameters it was issued with, the
// moment of issue, a table whose column titles repeat on every page, a
// closing line (a total) and "Página i/n" at the foot of every page.
//
// The document is built with the text-document classes cell by cell, so a
// value is always shown as the text it is (no markup taken from the data).
class TableReport
{
public:
    struct Column
    {
        QString title;
        int widthPercent = 0; // of the page width
        bool wrap = true;     // long values break into lines
    };

    explicit TableReport(const QString &title);
    ~TableReport();

    void addParameter(const QString &label, const QString &value);
    void setIssued(const QString &text) { m_issued = text; }
    void setColumns(const QList<Column> &columns) { m_columns = columns; }
    void addRow(const QStringList &cells) { m_rows << cells; }
    void setClosingLine(const QString &text) { m_closing = text; }

    QString title() const { return m_title; }
    int rowCount() const { return int(m_rows.size()); }

    // The document as it is laid out on pages of the device; the caller owns it.
    std::unique_ptr<QTextDocument> document() const;
    // Draws every page on the device (a printer or a PDF writer); the number
    // of pages drawn.
    int paint(QPagedPaintDevice &device) const;
    // Writes an A4 PDF; false with the reason in *error when the file cannot be written.
    bool writePdf(const QString &path, QString *error = nullptr) const;
    // Shows the print preview through the host (tests take the PDF there).
    void preview() const;

private:
    QString m_title;
    QList<std::pair<QString, QString>> m_parameters;
    QString m_issued;
    QList<Column> m_columns;
    QList<QStringList> m_rows;
    QString m_closing;
};

} // namespace prx::report
