// Reading XLSX workbooks: the zip opened with libzip, each XML part streamed
// through QXmlStreamReader straight out of the archive, never unpacked whole.
#include "sheet/XlsxReader.h"

#include <QDate>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <zip.h>

#include <charconv>
#include <cmath>
#include <memory>

namespace prx::sheet {

namespace {

const QString kInvalid = QStringLiteral("O arquivo não é uma pasta de trabalho XLSX válida: %1.");

QString invalid(const QString &reason)
{
    return kInvalid.arg(reason);
}

// What went wrong while reading; the first reason is kept.
struct Failure
{
    QString reason;
    bool failed() const { return !reason.isEmpty(); }
    void set(const QString &r)
    {
        if (reason.isEmpty())
            reason = r;
    }
};

// One part of the archive as a sequential device. Bytes are counted against
// the workbook's budget as they are unpacked; past it the device reports an
// error, which stops the XML reader.
class PartDevice : public QIODevice
{
public:
    PartDevice(zip_file_t *file, qint64 *budget) : m_file(file), m_budget(budget)
    {
        open(QIODevice::ReadOnly);
    }
    ~PartDevice() override
    {
        if (m_file)
            zip_fclose(m_file);
    }
    bool isSequential() const override { return true; }
    bool overBudget() const { return m_overBudget; }
    bool broken() const { return m_broken; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_done)
            return -1;
        // Asked for nothing: a probe, not the end of the part.
        if (maxSize <= 0)
            return 0;
        if (*m_budget <= 0) {
            m_overBudget = true;
            return -1;
        }
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(std::min(maxSize, *m_budget)));
        if (n < 0) {
            m_broken = true;
            return -1;
        }
        if (n == 0) {
            m_done = true;
            return -1;
        }
        *m_budget -= n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file; // owned
    qint64 *m_budget;   // not owned
    bool m_overBudget = false;
    bool m_broken = false;
    bool m_done = false;
};

class Archive
{
public:
    Archive(const QByteArray &bytes, qint64 budget) : m_bytes(bytes), m_budget(budget)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t *source =
            zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &error);
        if (source) {
            m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
            if (!m_zip)
                zip_source_free(source);
        }
        zip_error_fini(&error);
    }
    ~Archive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    bool isOpen() const { return m_zip; }
    const QByteArray &bytes() const { return m_bytes; }
    bool has(const QString &part) const { return locate(part) >= 0; }

    // The part as a device; nullptr (reason in *failure) when it is missing.
    std::unique_ptr<PartDevice> open(const QString &part, Failure *failure)
    {
        const zip_int64_t index = locate(part);
        zip_file_t *file = index >= 0 ? zip_fopen_index(m_zip, zip_uint64_t(index), 0) : nullptr;
        if (!file) {
            failure->set(index < 0 ? QStringLiteral("falta a parte %1").arg(part)
                                   : QStringLiteral("a parte %1 não pode ser lida").arg(part));
            return nullptr;
        }
        return std::make_unique<PartDevice>(file, &m_budget);
    }

private:
    zip_int64_t locate(const QString &part) const
    {
        // Part names in a package are compared without regard to case.
        return zip_name_locate(m_zip, part.toUtf8().constData(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
    }

    QByteArray m_bytes; // the source reads from it
    zip_t *m_zip = nullptr;
    qint64 m_budget;
};

// Checks how the reading of a part ended.
bool finished(const QXmlStreamReader &xml, const PartDevice &device, const QString &part,
              const XlsxLimits &limits, Failure *failure)
{
    if (device.overBudget()) {
        failure->reason = QStringLiteral("A pasta de trabalho passa de %1 MB descompactada; "
                                         "divida a planilha em arquivos menores.")
                              .arg(limits.maxUnpackedBytes / (1024 * 1024));
        return false;
    }
    if (device.broken()) {
        failure->set(invalid(QStringLiteral("a parte %1 está corrompida").arg(part)));
        return false;
    }
    if (xml.hasError()) {
        failure->set(invalid(QStringLiteral("XML inválido em %1 (linha %2: %3)")
                                 .arg(part)
                                 .arg(xml.lineNumber())
                                 .arg(xml.errorString())));
        return false;
    }
    return true;
}

// "xl/worksheets/../x.xml" -> "xl/x.xml"; a target starting with "/" is
// from the package's root.
QString resolve(const QString &base, const QString &target)
{
    QStringList parts = target.startsWith(u'/') ? QStringList() : base.split(u'/');
    if (!parts.isEmpty())
        parts.removeLast(); // the file name of the base
    for (const QString &p : target.split(u'/', Qt::SkipEmptyParts)) {
        if (p == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (p != u".") {
            parts << p;
        }
    }
    return parts.join(u'/');
}

QString relsOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

struct Relationship
{
    QString type; // the last segment of the type ("worksheet")
    QString target;
};

// Relationships by id; empty when the part has none.
QHash<QString, Relationship> readRelationships(Archive &zip, const QString &part,
                                               const XlsxLimits &limits, Failure *failure)
{
    QHash<QString, Relationship> out;
    const QString rels = relsOf(part);
    if (!zip.has(rels))
        return out;
    std::unique_ptr<PartDevice> device = zip.open(rels, failure);
    if (!device)
        return out;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Relationship") {
            const QXmlStreamAttributes a = xml.attributes();
            const QString type = a.value(QLatin1String("Type")).toString();
            if (a.value(QLatin1String("TargetMode")) == u"External")
                continue;
            out.insert(a.value(QLatin1String("Id")).toString(),
                       {type.mid(type.lastIndexOf(u'/') + 1),
                        resolve(part, a.value(QLatin1String("Target")).toString())});
        }
    }
    finished(xml, *device, rels, limits, failure);
    return out;
}

// How number cells of a style show: plain, as a date, a time or both.
enum class NumberKind : quint8
{
    Plain,
    Date,
    Time,
    DateTime
};

NumberKind builtInKind(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58))
        return NumberKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 33) || (id >= 45 && id <= 47))
        return NumberKind::Time;
    if (id == 22)
        return NumberKind::DateTime;
    return NumberKind::Plain;
}

// A custom format shows a date when it has days or years outside quotes and
// brackets, a time when it has hours or seconds ("m" alone is ambiguous).
NumberKind customKind(const QString &code)
{
    bool date = false, time = false, quoted = false, bracket = false, escaped = false;
    // Only the first section (positive numbers) matters.
    for (QChar c : code) {
        if (escaped) {
            escaped = false;
            continue;
        }
        if (c == u'\\') {
            escaped = true;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u']') {
            bracket = false;
        } else if (bracket) {
            const QChar l = c.toLower();
            time = time || l == u'h' || l == u's'; // [h]:mm elapsed hours
        } else if (c == u';') {
            break;
        } else {
            const QChar l = c.toLower();
            date = date || l == u'd' || l == u'y' || l == u'a' /* "aaaa" in Portuguese */;
            time = time || l == u'h' || l == u's';
        }
    }
    return date && time ? NumberKind::DateTime
           : date       ? NumberKind::Date
           : time       ? NumberKind::Time
                        : NumberKind::Plain;
}

// The kind of number of each cell style.
QList<NumberKind> readStyles(Archive &zip, const QString &part, const XlsxLimits &limits,
                             Failure *failure)
{
    QList<NumberKind> kinds;
    std::unique_ptr<PartDevice> device = zip.open(part, failure);
    if (!device)
        return kinds;
    QHash<int, NumberKind> custom;
    QXmlStreamReader xml(device.get());
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"numFmt") {
                const QXmlStreamAttributes a = xml.attributes();
                custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                              customKind(a.value(QLatin1String("formatCode")).toString()));
            } else if (xml.name() == u"cellXfs") {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == u"xf") {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                kinds << custom.value(id, builtInKind(id));
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    }
    finished(xml, *device, part, limits, failure);
    return kinds;
}

// "_x000D_" and the like, as the format escapes characters XML cannot carry.
QString unescaped(const QString &text)
{
    if (!text.contains(QStringLiteral("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(text).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Appends the text of the element the reader stands on (its children's
// included) and leaves the reader on the element's end; no string is made
// per element, the text goes straight into `out`.
void appendElementText(QXmlStreamReader &xml, QString &out)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            out += xml.text();
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
}

// The text of a string item (<si> or <is>) into `out` (emptied first): its
// <t>, or its runs' <t>s; phonetic runs are not part of the text. The
// reader stands on the item's start and ends on its end.
void readStringItem(QXmlStreamReader &xml, QString &out)
{
    out.resize(0); // keeps the buffer for the next cell
    int depth = 1;
    bool phonetic = false;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (xml.name() == u"rPh")
                phonetic = true;
            else if (xml.name() == u"t" && !phonetic) {
                appendElementText(xml, out);
                --depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (xml.name() == u"rPh")
                phonetic = false;
        }
    }
    if (out.contains(QStringLiteral("_x")))
        out = unescaped(out);
}

QStringList readSharedStrings(Archive &zip, const QString &part, const XlsxLimits &limits,
                              Failure *failure)
{
    QStringList strings;
    std::unique_ptr<PartDevice> device = zip.open(part, failure);
    if (!device)
        return strings;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si") {
            QString text;
            readStringItem(xml, text);
            strings << text;
        }
    }
    finished(xml, *device, part, limits, failure);
    return strings;
}

// Whether the shortest decimal of the double that `v` reads as is `v`
// itself: a plain decimal without exponent, blanks, a needless zero or a
// "-0", of at most 15 significant digits (fewer than a double keeps, so no
// shorter decimal reads as the same double). Most number cells are such,
// and they need no conversion at all.
bool isShortestDecimal(QStringView v)
{
    qsizetype i = 0;
    const qsizetype n = v.size();
    if (n == 0 || n > 20)
        return false;
    if (v[0] == u'-')
        ++i;
    const qsizetype intStart = i;
    while (i < n && v[i] >= u'0' && v[i] <= u'9')
        ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && v[intStart] == u'0'))
        return false;
    int significant = v[intStart] == u'0' ? 0 : int(intDigits);
    if (i < n) {
        if (v[i] != u'.' || i + 1 == n || v[n - 1] == u'0')
            return false;
        for (qsizetype k = i + 1; k < n; ++k) {
            if (v[k] < u'0' || v[k] > u'9')
                return false;
            if (significant > 0 || v[k] != u'0')
                ++significant;
        }
    } else if (intStart == 1 && intDigits == 1 && v[1] == u'0') {
        return false; // "-0" reads as 0
    }
    return significant <= 15;
}

// "1234.5" -> "1234,5" into `out` (emptied first): the double's shortest
// decimal, never in exponent form, with the decimal comma the number reader
// takes. Text that is no number stays as it is (and is refused where a
// number is expected).
void numberCell(QStringView v, QString &out)
{
    out.resize(0); // keeps the buffer for the next cell
    if (isShortestDecimal(v)) {
        out += v;
    } else {
        bool ok = false;
        const double d = v.trimmed().toDouble(&ok);
        char buffer[400];
        const auto [end, ec] =
            ok && std::isfinite(d)
                ? std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed)
                : std::to_chars_result{buffer, std::errc::invalid_argument};
        if (ec != std::errc()) {
            out += v;
            return;
        }
        if (std::string_view(buffer, end - buffer) == "-0")
            out += u'0';
        else
            out += QLatin1String(buffer, end - buffer);
    }
    const qsizetype point = out.indexOf(u'.');
    if (point >= 0)
        out[point] = u',';
}

// A serial number of a date cell as text; empty when it is no date.
QString dateCell(const QString &v, NumberKind kind, bool date1904)
{
    bool ok = false;
    const double serial = v.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(serial) || serial < 0 || serial > 2958466)
        return {};
    double days = std::floor(serial);
    qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds -= 86400;
    }
    // The 1900 system counts a 29/02/1900 that never was: serials from 61
    // on are one day ahead.
    QDate date = date1904    ? QDate(1904, 1, 1).addDays(qint64(days))
                 : days < 61 ? QDate(1899, 12, 31).addDays(qint64(days))
                             : QDate(1899, 12, 30).addDays(qint64(days));
    const QString time = QStringLiteral("%1:%2")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    const QString withSeconds =
        time + QStringLiteral(":%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    switch (kind) {
    case NumberKind::Time:
        return seconds % 60 ? withSeconds : time;
    case NumberKind::Date:
        // A date that carries a time keeps it: the cell holds both.
        if (seconds == 0)
            return date.toString(u"dd/MM/yyyy");
        [[fallthrough]];
    case NumberKind::DateTime:
        return date.toString(u"dd/MM/yyyy") + u' ' + withSeconds;
    case NumberKind::Plain:
        break;
    }
    return {};
}

// "2026-02-01T10:30:00" of a t="d" cell.
QString isoDateCell(const QString &v)
{
    const QString t = v.trimmed();
    const QDate date = QDate::fromString(t.left(10), Qt::ISODate);
    if (!date.isValid())
        return v;
    const QTime time = t.size() > 10 ? QTime::fromString(t.mid(11, 8), Qt::ISODate) : QTime(0, 0);
    if (!time.isValid() || time == QTime(0, 0))
        return date.toString(u"dd/MM/yyyy");
    return date.toString(u"dd/MM/yyyy") + u' ' + time.toString(u"HH:mm:ss");
}

// "B12" -> column 1 (zero-based) and row 12; false when it is no reference.
bool parseReference(QStringView ref, int *column, int *row)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        if (c > 1 << 20)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    bool ok = false;
    const qint64 r = ref.mid(i).toLongLong(&ok);
    if (!ok || r < 1 || r > (1 << 24))
        return false;
    *column = int(c - 1);
    *row = int(r);
    return true;
}

struct WorkbookInfo
{
    QStringList names;
    QStringList parts; // each sheet's part
    QString sharedStrings, styles;
    bool date1904 = false;
};

bool readWorkbook(Archive &zip, const XlsxLimits &limits, WorkbookInfo *info, Failure *failure)
{
    QString workbook;
    for (const Relationship &r : readRelationships(zip, QString(), limits, failure)) {
        if (r.type == u"officeDocument")
            workbook = r.target;
    }
    if (failure->failed())
        return false;
    if (workbook.isEmpty())
        workbook = QStringLiteral("xl/workbook.xml");
    if (!zip.has(workbook)) {
        failure->set(invalid(QStringLiteral("o arquivo não tem a parte %1").arg(workbook)));
        return false;
    }
    const QHash<QString, Relationship> rels = readRelationships(zip, workbook, limits, failure);
    for (const Relationship &r : rels) {
        if (r.type == u"sharedStrings")
            info->sharedStrings = r.target;
        else if (r.type == u"styles")
            info->styles = r.target;
    }
    std::unique_ptr<PartDevice> device = zip.open(workbook, failure);
    if (!device)
        return false;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"workbookPr") {
            const QStringView v = a.value(QLatin1String("date1904"));
            info->date1904 = v == u"1" || v == u"true";
        } else if (xml.name() == u"sheet") {
            QString id;
            for (const QXmlStreamAttribute &attribute : a) {
                if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                    id = attribute.value().toString();
            }
            info->names << a.value(QLatin1String("name")).toString();
            info->parts << rels.value(id).target;
        }
    }
    if (!finished(xml, *device, workbook, limits, failure) || failure->failed())
        return false;
    if (info->names.isEmpty()) {
        failure->set(invalid(QStringLiteral("a pasta de trabalho não tem planilhas")));
        return false;
    }
    return true;
}

// Where the cells of a sheet go as they are read: a row opens, its cells
// follow in column order (columns left out are empty), the row closes.
class CellOutput
{
public:
    virtual ~CellOutput() = default;
    virtual void beginRow(int row) = 0;
    // `text` lives until the next cell only.
    virtual void cell(int column, QStringView text) = 0;
    // False stops the reading.
    virtual bool endRow() = 0;
};

enum class CellType : quint8
{
    Number,
    Shared,
    Inline,
    Boolean,
    Text, // "str" and "e": the value as it is
    IsoDate
};

CellType cellType(QStringView t)
{
    if (t.isEmpty() || t == u"n")
        return CellType::Number;
    if (t == u"s")
        return CellType::Shared;
    if (t == u"inlineStr")
        return CellType::Inline;
    if (t == u"b")
        return CellType::Boolean;
    if (t == u"d")
        return CellType::IsoDate;
    if (t == u"str" || t == u"e")
        return CellType::Text;
    return CellType::Number; // what an unknown type was read as
}

bool readSheet(Archive &zip, const QString &part, const WorkbookInfo &info,
               const QStringList &strings, const QList<NumberKind> &styles,
               const XlsxLimits &limits, CellOutput &output, Failure *failure)
{
    std::unique_ptr<PartDevice> device = zip.open(part, failure);
    if (!device)
        return false;
    QXmlStreamReader xml(device.get());
    qint64 cellBudget = limits.maxCells;
    int rowNumber = 0;
    int nextColumn = 0;
    bool stopped = false;
    // Reused from cell to cell: most cells then cost no allocation at all.
    QString value, inlineText, converted, refText;
    while (!stopped && !xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"row") {
            int number = rowNumber + 1;
            bool ok = true;
            {
                const QXmlStreamAttributes a = xml.attributes();
                const QStringView r = a.value(QLatin1String("r"));
                if (!r.isEmpty())
                    number = r.toInt(&ok);
                if (!ok || number <= rowNumber || number > limits.maxRows) {
                    failure->set(
                        number > limits.maxRows && ok
                            ? QStringLiteral("A planilha passa de %1 linhas.").arg(limits.maxRows)
                            : invalid(QStringLiteral("número de linha inválido \"%1\"")
                                          .arg(r.toString())));
                    return false;
                }
            }
            rowNumber = number;
            nextColumn = 0;
            output.beginRow(rowNumber);
            // Cells until the row ends.
            while (!xml.atEnd()) {
                const QXmlStreamReader::TokenType token = xml.readNext();
                if (token == QXmlStreamReader::EndElement && xml.name() == u"row")
                    break;
                if (token != QXmlStreamReader::StartElement || xml.name() != u"c")
                    continue;
                int column = nextColumn, row = rowNumber;
                CellType type = CellType::Number;
                int style = 0;
                {
                    // The attributes are let go before the next token: held,
                    // they would make the reader copy its own for each cell.
                    const QXmlStreamAttributes a = xml.attributes();
                    const QStringView ref = a.value(QLatin1String("r"));
                    const bool hasRef = !ref.isEmpty();
                    refText.resize(0);
                    refText += ref; // for a message only; the buffer is reused
                    if (hasRef && (!parseReference(ref, &column, &row) || row != rowNumber ||
                                   column < nextColumn)) {
                        failure->set(invalid(
                            QStringLiteral("referência de célula inválida \"%1\" na linha %2")
                                .arg(ref.toString())
                                .arg(rowNumber)));
                        return false;
                    }
                    type = cellType(a.value(QLatin1String("t")));
                    // Only numbers show as their style says.
                    if (type == CellType::Number) {
                        const QStringView s = a.value(QLatin1String("s"));
                        style = s.isEmpty() ? 0 : s.toInt();
                    }
                }
                if (column >= limits.maxColumns) {
                    failure->set(
                        QStringLiteral("A planilha passa de %1 colunas.").arg(limits.maxColumns));
                    return false;
                }
                cellBudget -= column + 1 - nextColumn;
                if (cellBudget < 0) {
                    failure->set(
                        QStringLiteral("A planilha passa de %1 células.").arg(limits.maxCells));
                    return false;
                }
                nextColumn = column + 1;
                bool hasValue = false, hasInline = false;
                while (!xml.atEnd()) {
                    const QXmlStreamReader::TokenType t = xml.readNext();
                    if (t == QXmlStreamReader::EndElement && xml.name() == u"c")
                        break;
                    if (t != QXmlStreamReader::StartElement)
                        continue;
                    if (xml.name() == u"v") {
                        value.resize(0);
                        appendElementText(xml, value);
                        hasValue = true;
                    } else if (xml.name() == u"is") {
                        readStringItem(xml, inlineText);
                        hasInline = true;
                    }
                }
                QStringView text;
                if (type == CellType::Inline) {
                    if (hasInline)
                        text = inlineText;
                } else if (!hasValue) {
                    if (hasInline)
                        text = inlineText;
                } else if (type == CellType::Shared) {
                    bool ok = false;
                    const qsizetype index = QStringView(value).trimmed().toLongLong(&ok);
                    if (!ok || index < 0 || index >= strings.size()) {
                        failure->set(
                            invalid(QStringLiteral("a célula %1 aponta um texto que não existe")
                                        .arg(refText)));
                        return false;
                    }
                    text = strings[index];
                } else if (type == CellType::Boolean) {
                    text = QStringView(value).trimmed() == u"1" ? u"VERDADEIRO" : u"FALSO";
                } else if (type == CellType::Text) {
                    converted = unescaped(value);
                    text = converted;
                } else if (type == CellType::IsoDate) {
                    converted = isoDateCell(value);
                    text = converted;
                } else {
                    const NumberKind kind = styles.value(style, NumberKind::Plain);
                    if (kind != NumberKind::Plain)
                        converted = dateCell(value, kind, info.date1904);
                    if (kind == NumberKind::Plain || converted.isEmpty())
                        numberCell(value, converted);
                    text = converted;
                }
                output.cell(column, text);
            }
            if (xml.hasError())
                break;
            if (!output.endRow())
                stopped = true;
        }
    }
    return finished(xml, *device, part, limits, failure);
}

bool openWorkbook(Archive &zip, const XlsxLimits &limits, WorkbookInfo *info, Failure *failure)
{
    if (!zip.isOpen() || !looksLikeZip(zip.bytes())) {
        failure->set(invalid(QStringLiteral("não é um arquivo zip")));
        return false;
    }
    return readWorkbook(zip, limits, info, failure);
}

} // namespace

bool looksLikeZip(const QByteArray &bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

namespace {

bool readInto(const QByteArray &bytes, const QString &sheetName, CellOutput &output, QString *error,
              const XlsxLimits &limits)
{
    Archive zip(bytes, limits.maxUnpackedBytes);
    Failure failure;
    WorkbookInfo info;
    if (!openWorkbook(zip, limits, &info, &failure)) {
        *error = failure.reason;
        return false;
    }
    qsizetype index = 0;
    if (!sheetName.isEmpty()) {
        index = -1;
        for (qsizetype i = 0; i < info.names.size() && index < 0; ++i) {
            if (info.names[i].compare(sheetName.trimmed(), Qt::CaseInsensitive) == 0)
                index = i;
        }
        if (index < 0) {
            *error = QStringLiteral("A pasta de trabalho não tem a planilha \"%1\"; tem: %2.")
                         .arg(sheetName, info.names.join(QStringLiteral(", ")));
            return false;
        }
    }
    const QString part = info.parts[index];
    if (part.isEmpty() || !zip.has(part)) {
        *error = invalid(QStringLiteral("falta a planilha \"%1\"").arg(info.names[index]));
        return false;
    }
    const QStringList strings = info.sharedStrings.isEmpty()
                                    ? QStringList()
                                    : readSharedStrings(zip, info.sharedStrings, limits, &failure);
    const QList<NumberKind> styles = info.styles.isEmpty() || failure.failed()
                                         ? QList<NumberKind>()
                                         : readStyles(zip, info.styles, limits, &failure);
    if (!failure.failed())
        readSheet(zip, part, info, strings, styles, limits, output, &failure);
    *error = failure.reason;
    return !failure.failed();
}

// Rows gathered as lists of cells.
class RowOutput : public CellOutput
{
public:
    explicit RowOutput(const XlsxRowSink &sink) : m_sink(sink) {}
    void beginRow(int row) override
    {
        m_row = row;
        m_cells.clear();
        m_blank = true;
    }
    void cell(int column, QStringView text) override
    {
        while (m_cells.size() < column)
            m_cells << QString();
        m_cells << text.toString();
        m_blank = m_blank && text.trimmed().isEmpty();
    }
    bool endRow() override { return m_blank || m_sink(m_row, m_cells); }

private:
    const XlsxRowSink &m_sink;
    QStringList m_cells;
    int m_row = 0;
    bool m_blank = true;
};

} // namespace

bool readXlsx(const QByteArray &bytes, const QString &sheetName, const XlsxRowSink &sink,
              QString *error, const XlsxLimits &limits)
{
    RowOutput output(sink);
    return readInto(bytes, sheetName, output, error, limits);
}

bool readXlsxRows(const QByteArray &bytes, const QString &sheetName, SheetRows *rows,
                  QList<int> *lines, QString *error, const XlsxLimits &limits)
{
    rows->clear();
    if (lines)
        lines->clear();
    const bool ok = readXlsx(
        bytes, sheetName,
        [&](int row, QStringList &cells) {
            rows->append(std::move(cells));
            if (lines)
                lines->append(row);
            return true;
        },
        error, limits);
    if (!ok) {
        rows->clear();
        if (lines)
            lines->clear();
    }
    return ok;
}

QStringList xlsxSheetNames(const QByteArray &bytes, QString *error)
{
    const XlsxLimits limits;
    Archive zip(bytes, limits.maxUnpackedBytes);
    Failure failure;
    WorkbookInfo info;
    if (!openWorkbook(zip, limits, &info, &failure)) {
        *error = failure.reason;
        return {};
    }
    return info.names;
}

namespace {

// A cell as a field of CSV text. Line breaks become blanks so that each row
// keeps its own line; a comma outside quotes on the first line would make
// the reader take it for the separator, so it is quoted as ";" and quotes are.
void appendCsvField(QString &out, QStringView f)
{
    bool quote = !f.isEmpty() && f.front() == QChar(0xFEFF);
    bool lineBreak = false, quoteMark = false;
    for (const QChar c : f) {
        switch (c.unicode()) {
        case u'"':
            quoteMark = true;
            [[fallthrough]];
        case u';':
        case u',':
            quote = true;
            break;
        case u'\r':
        case u'\n':
            lineBreak = true;
            break;
        default:
            break;
        }
    }
    if (quote)
        out += u'"';
    if (!lineBreak && !quoteMark) {
        out += f;
    } else {
        for (const QChar c : f) {
            if (c == u'\r' || c == u'\n')
                out += u' ';
            else if (c == u'"')
                out += u"\"\"";
            else
                out += c;
        }
    }
    if (quote)
        out += u'"';
}

// Cells appended straight to the CSV text as they are read: one line per
// row of the sheet, blank lines where the sheet has none; a row without any
// text is taken back out.
class CsvOutput : public CellOutput
{
public:
    explicit CsvOutput(QString &out) : m_out(out) {}
    void beginRow(int row) override
    {
        m_row = row;
        m_mark = m_out.size();
        m_column = 0;
        m_blank = true;
        for (int line = m_line; line < row; ++line)
            m_out += u"\r\n";
    }
    void cell(int column, QStringView text) override
    {
        for (; m_column <= column; ++m_column) {
            if (m_column > 0)
                m_out += u';';
        }
        appendCsvField(m_out, text);
        m_blank = m_blank && text.trimmed().isEmpty();
    }
    bool endRow() override
    {
        if (m_blank) {
            m_out.truncate(m_mark);
        } else {
            m_out += u"\r\n";
            m_line = m_row + 1;
        }
        return true;
    }

private:
    QString &m_out;
    qsizetype m_mark = 0;
    int m_line = 1, m_row = 0, m_column = 0;
    bool m_blank = true;
};

} // namespace

bool readXlsxAsCsv(const QByteArray &bytes, const QString &sheetName, QString *csv, QString *error,
                   const XlsxLimits &limits)
{
    csv->clear();
    CsvOutput output(*csv);
    const bool ok = readInto(bytes, sheetName, output, error, limits);
    if (!ok)
        csv->clear();
    return ok;
}

} // namespace prx::sheet
