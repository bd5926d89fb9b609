#include "PagedTableReport.h"

#include "services/HostUi.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace prx::report {

namespace {

constexpr qreal kBodyPoints = 8;
constexpr qreal kTitlePoints = 13;
constexpr qreal kLineSpacing = 1.2; // of the font's height
constexpr qreal kCellPadding = 0.4; // of the font's height, on each side of a cell
const QColor kTitleBar(0xe0, 0xe0, 0xe0);
const QColor kStripe(0xf4, 0xf4, 0xf4);

QFont fontFor(QPagedPaintDevice &device, qreal points, bool bold, bool italic = false)
{
    QFont f;
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return QFont(f, &device);
}

// The width of a text from the widths of its characters: no shaping, so a
// hundred thousand cells are measured in no time. Kerning is left out, which
// moves a right-aligned number by a hair at most; a text near the width of
// its column is measured exactly before it is cut.
class TextWidths
{
public:
    explicit TextWidths(const QFont &font) : m_metrics(font)
    {
        for (int c = 0; c < 256; ++c)
            m_latin1[c] = m_metrics.horizontalAdvance(QChar(c));
    }
    qreal estimate(QStringView text) const
    {
        qreal w = 0;
        for (QChar c : text) {
            if (c.unicode() > 255)
                return m_metrics.horizontalAdvance(text.toString());
            w += m_latin1[c.unicode()];
        }
        return w;
    }
    const QFontMetricsF &metrics() const { return m_metrics; }

private:
    QFontMetricsF m_metrics;
    qreal m_latin1[256];
};

} // namespace

// Everything measured once per drawing, in the device's units.
struct PagedTableReport::Metrics
{
    QRectF area;
    QFont title, bold, body, note;
    qreal line = 0;    // height of a row or a note line
    qreal ascent = 0;  // of the body font, from the top of a line
    qreal padding = 0; // inside a cell
    qreal titleLine = 0;
    QList<qreal> left, width; // of each column
    qreal firstHeader = 0, otherHeader = 0, footer = 0;
};

PagedTableReport::PagedTableReport(const QString &title) : m_title(title) {}

void PagedTableReport::addParameter(const QString &label, const QString &value)
{
    m_parameters << std::pair{label, value};
}

void PagedTableReport::setRows(int count, RowProvider provider, NoteCounter notes)
{
    m_ownRows.clear();
    m_rowCount = count;
    m_provider = std::move(provider);
    m_notes = std::move(notes);
}

void PagedTableReport::addRow(const QStringList &cells, const QStringList &notes)
{
    m_provider = {};
    m_notes = {};
    m_ownRows.push_back({cells, notes});
    m_rowCount = int(m_ownRows.size());
}

int PagedTableReport::notesOf(int row) const
{
    if (!m_ownRows.empty())
        return int(m_ownRows[size_t(row)].notes.size());
    return m_notes ? qMax(0, m_notes(row)) : 0;
}

void PagedTableReport::rowText(int row, RowText *out) const
{
    if (!m_ownRows.empty())
        *out = m_ownRows[size_t(row)];
    else if (m_provider)
        m_provider(row, out);
}

// Where each page starts. A row stays on one page with its notes unless
// together they are longer than a whole page; the closing line (and a blank
// line before it) goes at the end, on a page of its own when it must.
std::vector<PagedTableReport::PageStart> PagedTableReport::paginate(int firstPageLines,
                                                                    int otherPageLines) const
{
    firstPageLines = qMax(1, firstPageLines);
    otherPageLines = qMax(1, otherPageLines);
    std::vector<PageStart> pages{{0, 0}};
    int capacity = firstPageLines, used = 0;
    auto newPage = [&](int row, int line) {
        pages.push_back({row, line});
        capacity = otherPageLines;
        used = 0;
    };
    for (int row = 0; row < m_rowCount; ++row) {
        const int lines = 1 + notesOf(row);
        if (used + lines <= capacity) {
            used += lines;
            continue;
        }
        if (used > 0 && lines <= otherPageLines) {
            newPage(row, 0);
            used = lines;
            continue;
        }
        for (int line = 0; line < lines;) {
            if (used == capacity)
                newPage(row, line);
            const int take = qMin(capacity - used, lines - line);
            used += take;
            line += take;
        }
    }
    if (!m_closing.isEmpty() && used + 2 > capacity)
        newPage(m_rowCount, 0);
    return pages;
}

qreal PagedTableReport::drawHeader(QPainter &p, const Metrics &m, bool firstPage) const
{
    const qreal w = m.area.width();
    p.setFont(m.title);
    p.drawText(QRectF(0, 0, w, m.titleLine), Qt::AlignHCenter | Qt::AlignVCenter, m_title);
    qreal y = m.titleLine;
    if (!firstPage)
        return y;
    const QFontMetricsF boldMetrics(m.bold);
    for (const auto &[label, value] : m_parameters) {
        const QString shownLabel = label + QStringLiteral(": ");
        p.setFont(m.bold);
        p.drawText(QPointF(0, y + m.ascent), shownLabel);
        p.setFont(m.body);
        const qreal x = boldMetrics.horizontalAdvance(shownLabel);
        p.drawText(QPointF(x, y + m.ascent),
                   QFontMetricsF(m.body).elidedText(value, Qt::ElideRight, w - x));
        y += m.line;
    }
    if (!m_issued.isEmpty()) {
        p.setFont(m.body);
        p.drawText(QPointF(0, y + m.ascent), m_issued);
        y += m.line;
    }
    return y + m.line / 2;
}

void PagedTableReport::drawColumnTitles(QPainter &p, const Metrics &m, qreal y) const
{
    p.fillRect(QRectF(0, y, m.area.width(), m.line), kTitleBar);
    p.setFont(m.bold);
    const QFontMetricsF fm(m.bold);
    for (int c = 0; c < m_columns.size(); ++c) {
        const QString text =
            fm.elidedText(m_columns[c].title, Qt::ElideRight, m.width[c] - 2 * m.padding);
        const qreal x = m_columns[c].alignRight
                            ? m.left[c] + m.width[c] - m.padding - fm.horizontalAdvance(text)
                            : m.left[c] + m.padding;
        p.drawText(QPointF(x, y + m.ascent), text);
    }
}

void PagedTableReport::drawFooter(QPainter &p, const Metrics &m, int page, int pages) const
{
    const qreal top = m.area.height() - m.footer;
    p.setPen(QPen(Qt::gray, 0));
    p.drawLine(QPointF(0, top + m.line * 0.3), QPointF(m.area.width(), top + m.line * 0.3));
    p.setPen(Qt::black);
    p.setFont(m.body);
    const QRectF box(0, top + m.line * 0.4, m.area.width(), m.line);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, m_issued);
    p.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Página %1/%2").arg(page).arg(pages));
}

int PagedTableReport::paint(QPagedPaintDevice &device, const Progress &progress) const
{
    QPainter p(&device);
    if (!p.isActive())
        return 0;
    Metrics m;
    m.area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    m.title = fontFor(device, kTitlePoints, true);
    m.bold = fontFor(device, kBodyPoints, true);
    m.body = fontFor(device, kBodyPoints, false);
    m.note = fontFor(device, kBodyPoints - 0.5, false, true);
    const QFontMetricsF bodyMetrics(m.body);
    m.line = bodyMetrics.height() * kLineSpacing;
    m.ascent = (m.line - bodyMetrics.height()) / 2 + bodyMetrics.ascent();
    m.padding = bodyMetrics.height() * kCellPadding;
    m.titleLine = QFontMetricsF(m.title).height() * 1.6;
    qreal x = 0;
    for (const Column &c : m_columns) {
        m.left << x;
        m.width << m.area.width() * c.widthPercent / 100.0;
        x += m.width.last();
    }
    m.footer = m.line * 1.5;
    // The header's height without drawing it: title, parameters, issue line.
    m.firstHeader =
        m.titleLine + m.line * (m_parameters.size() + (m_issued.isEmpty() ? 0 : 1)) + m.line / 2;
    m.otherHeader = m.titleLine;
    auto linesBelow = [&m](qreal header) {
        return int((m.area.height() - header - m.line - m.footer) / m.line);
    };
    const std::vector<PageStart> pages =
        paginate(linesBelow(m.firstHeader), linesBelow(m.otherHeader));
    const int pageCount = int(pages.size());

    const QFontMetricsF noteMetrics(m.note);
    const TextWidths bodyWidths(m.body), noteWidths(m.note);
    RowText row;
    int loadedRow = -1;
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0)
            device.newPage();
        qreal y = drawHeader(p, m, page == 0);
        drawColumnTitles(p, m, y);
        y += m.line;
        const qreal bottom = m.area.height() - m.footer;
        const PageStart end =
            page + 1 < pageCount ? pages[size_t(page + 1)] : PageStart{m_rowCount, 0};
        for (int r = pages[size_t(page)].row; r < m_rowCount && r <= end.row; ++r) {
            const int first = r == pages[size_t(page)].row ? pages[size_t(page)].line : 0;
            const int lines = 1 + notesOf(r);
            const int last = r == end.row ? end.line : lines; // exclusive
            if (first >= last)
                continue;
            if (loadedRow != r) {
                row = RowText();
                rowText(r, &row);
                loadedRow = r;
            }
            if (r % 2 == 1)
                p.fillRect(QRectF(0, y, m.area.width(), m.line * (last - first)), kStripe);
            for (int line = first; line < last; ++line, y += m.line) {
                if (line == 0) {
                    p.setFont(m.body);
                    for (int c = 0; c < m_columns.size(); ++c) {
                        QString text = row.cells.value(c);
                        if (text.isEmpty())
                            continue;
                        const qreal room = m.width[c] - 2 * m.padding;
                        qreal advance = bodyWidths.estimate(text);
                        if (advance > room * 0.97) {
                            text = bodyMetrics.elidedText(text, Qt::ElideRight, room);
                            advance = bodyMetrics.horizontalAdvance(text);
                        }
                        const qreal cx = m_columns[c].alignRight
                                             ? m.left[c] + m.width[c] - m.padding - advance
                                             : m.left[c] + m.padding;
                        p.drawText(QPointF(cx, y + m.ascent), text);
                    }
                } else {
                    // Notes start under the second column, where the names are.
                    const qreal nx = (m_columns.size() > 1 ? m.left[1] : 0) + m.padding;
                    p.setFont(m.note);
                    const QString note = row.notes.value(line - 1);
                    const qreal room = m.area.width() - nx - m.padding;
                    p.drawText(QPointF(nx, y + m.ascent),
                               noteWidths.estimate(note) > room * 0.97
                                   ? noteMetrics.elidedText(note, Qt::ElideRight, room)
                                   : note);
                }
            }
        }
        if (page == pageCount - 1 && !m_closing.isEmpty() && y + 2 * m.line <= bottom) {
            p.setFont(m.bold);
            p.drawText(QPointF(m.padding, y + m.line + m.ascent), m_closing);
        }
        drawFooter(p, m, page + 1, pageCount);
        if (progress && !progress(page + 1, pageCount))
            return -1;
    }
    return pageCount;
}

PagedTableReport::Outcome PagedTableReport::writePdf(const QString &path, QString *error,
                                                     const Progress &progress) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return Outcome::Failed;
    }
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_title);
        writer.setCreator(QStringLiteral("Tabela de Preços"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        writer.setResolution(300);
        pages = paint(writer, progress);
    }
    if (pages < 0) {
        file.cancelWriting();
        return Outcome::Cancelled;
    }
    if (pages == 0 || !file.commit()) {
        if (error)
            *error = pages == 0 ? QStringLiteral("não foi possível desenhar as páginas")
                                : file.errorString();
        file.cancelWriting();
        return Outcome::Failed;
    }
    return Outcome::Written;
}

void PagedTableReport::preview(const Progress &progress) const
{
    HostUi::instance().printPreview(
        m_title, [this, &progress](QPagedPaintDevice &device) { paint(device, progress); });
}

} // namespace prx::report
