#include "TableReport.h"

#include "services/HostUi.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace prx::report {

namespace {

constexpr qreal kBasePoints = 9;

QTextCharFormat textFormat(qreal points, bool bold)
{
    QTextCharFormat f;
    f.setFontPointSize(points);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

} // namespace

TableReport::TableReport(const QString &title) : m_title(title) {}

TableReport::~TableReport() = default;

void TableReport::addParameter(const QString &label, const QString &value)
{
    m_parameters << std::pair{label, value};
}

std::unique_ptr<QTextDocument> TableReport::document() const
{
    auto doc = std::make_unique<QTextDocument>();
    QFont font = doc->defaultFont();
    font.setPointSizeF(kBasePoints);
    doc->setDefaultFont(font);
    QTextCursor c(doc.get());

    QTextBlockFormat centered;
    centered.setAlignment(Qt::AlignHCenter);
    centered.setBottomMargin(8);
    c.setBlockFormat(centered);
    c.insertText(m_title, textFormat(kBasePoints * 1.5, true));

    QTextBlockFormat plain;
    plain.setAlignment(Qt::AlignLeft);
    for (const auto &[label, value] : m_parameters) {
        c.insertBlock(plain);
        c.insertText(label + QStringLiteral(": "), textFormat(kBasePoints, true));
        c.insertText(value, textFormat(kBasePoints, false));
    }
    if (!m_issued.isEmpty()) {
        c.insertBlock(plain);
        c.insertText(m_issued, textFormat(kBasePoints, false));
    }

    QTextTableFormat table;
    table.setHeaderRowCount(1);
    table.setCellPadding(3);
    table.setCellSpacing(0);
    table.setBorder(0.5);
    table.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    table.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    table.setTopMargin(10);
    QList<QTextLength> widths;
    for (const Column &col : m_columns)
        widths << QTextLength(QTextLength::PercentageLength, col.widthPercent);
    table.setColumnWidthConstraints(widths);
    const int columns = int(m_columns.size());
    QTextTable *t = c.insertTable(int(m_rows.size()) + 1, columns, table);
    QTextCharFormat titleFormat = textFormat(kBasePoints, true);
    titleFormat.setBackground(QColor(0xe0, 0xe0, 0xe0));
    for (int col = 0; col < columns; ++col) {
        QTextTableCell cell = t->cellAt(0, col);
        QTextCharFormat cf = cell.format();
        cf.setBackground(QColor(0xe0, 0xe0, 0xe0));
        cell.setFormat(cf);
        cell.firstCursorPosition().insertText(m_columns[col].title, titleFormat);
    }
    const QTextCharFormat cellFormat = textFormat(kBasePoints, false);
    for (int row = 0; row < m_rows.size(); ++row) {
        for (int col = 0; col < columns; ++col) {
            QTextCursor cell = t->cellAt(row + 1, col).firstCursorPosition();
            if (!m_columns[col].wrap) {
                QTextBlockFormat keep = cell.blockFormat();
                keep.setNonBreakableLines(true);
                cell.setBlockFormat(keep);
            }
            cell.insertText(m_rows[row].value(col), cellFormat);
        }
    }
    c.movePosition(QTextCursor::End);
    if (!m_closing.isEmpty()) {
        QTextBlockFormat closing;
        closing.setTopMargin(6);
        c.insertBlock(closing);
        c.insertText(m_closing, textFormat(kBasePoints, true));
    }
    return doc;
}

int TableReport::paint(QPagedPaintDevice &device) const
{
    std::unique_ptr<QTextDocument> doc = document();
    QPainter painter(&device);
    if (!painter.isActive())
        return 0;
    const QRectF area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    doc->documentLayout()->setPaintDevice(&device);
    QFont footFont = doc->defaultFont();
    const qreal foot = QFontMetricsF(footFont, &device).height() * 2;
    const qreal body = area.height() - foot;
    doc->setPageSize(QSizeF(area.width(), body));
    const int pages = doc->pageCount();
    painter.setFont(QFont(footFont, &device));
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        painter.save();
        const QRectF clip(0, page * body, area.width(), body);
        painter.translate(0, -clip.top());
        doc->drawContents(&painter, clip);
        painter.restore();
        painter.drawText(QRectF(0, body, area.width(), foot), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Página %1/%2").arg(page + 1).arg(pages));
    }
    return pages;
}

bool TableReport::writePdf(const QString &path, QString *error) const
{
    // Written beside the target and renamed over it once whole: a report that
    // cannot be drawn or written leaves a file already there as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_title);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        pages = paint(writer);
    }
    if (pages <= 0 || !file.commit()) {
        if (error)
            *error = pages <= 0 ? QStringLiteral("não foi possível desenhar as páginas")
                                : file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

void TableReport::preview() const
{
    HostUi::instance().printPreview(m_title, [this](QPagedPaintDevice &device) { paint(device); });
}

} // namespace prx::report
