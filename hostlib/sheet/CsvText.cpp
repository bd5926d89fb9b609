#include "sheet/CsvText.h"

#include <QStringDecoder>

namespace prx::sheet {

QString decodeCsv(const QByteArray &bytes)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    // Windows-1252: Latin-1 but for the printable characters at 0x80-0x9F.
    static const char16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    text = QString::fromLatin1(body);
    for (QChar &c : text) {
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            c = QChar(high[c.unicode() - 0x80]);
    }
    return text;
}

namespace {

// The separator of the first line, counting only what is outside quotes.
QChar detectSeparator(const QString &text, QString *error)
{
    int semicolons = 0, commas = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u';')
            ++semicolons;
        else if (!quoted && c == u',')
            ++commas;
    }
    if (semicolons > 0 && commas > 0) {
        *error = QStringLiteral("A primeira linha usa \";\" e \",\" como separador: não é possível "
                                "saber qual separa as colunas.");
        return {};
    }
    return commas > 0 ? u',' : u';';
}

} // namespace

bool readCsvRows(const QString &csv, const CsvRowSink &sink, QString *error)
{
    // Text decoded by other means may still start with the byte order mark.
    const QString text = csv.startsWith(QChar(0xFEFF)) ? csv.mid(1) : csv;
    int line = 1, rowLine = 1;
    const QChar separator = detectSeparator(text, error);
    if (separator.isNull())
        return false;

    QStringList row;
    QString field;
    bool stopped = false;
    bool quoted = false;
    bool fieldStarted = false;
    auto endRow = [&] {
        row << field;
        field.clear();
        fieldStarted = false;
        bool blank = true;
        for (const QString &f : std::as_const(row))
            blank = blank && f.trimmed().isEmpty();
        if (!blank && !sink(rowLine, row))
            stopped = true;
        row.clear();
        rowLine = line;
    };
    for (qsizetype i = 0; i < text.size() && !stopped; ++i) {
        const QChar c = text[i];
        if (c == u'\n')
            ++line;
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            row << field;
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
                ++line;
            } else if (c == u'\r') {
                ++line;
            }
            endRow();
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (stopped)
        return true;
    if (quoted) {
        *error = QStringLiteral("O arquivo termina dentro de um campo entre aspas.");
        return false;
    }
    if (!field.isEmpty() || !row.isEmpty())
        endRow();
    return true;
}

bool readCsv(const QString &csv, SheetRows *rows, QString *error, QList<int> *lines)
{
    rows->clear();
    if (lines)
        lines->clear();
    const bool ok = readCsvRows(
        csv,
        [&](int line, QStringList &row) {
            rows->append(std::move(row));
            if (lines)
                lines->append(line);
            return true;
        },
        error);
    if (!ok) {
        rows->clear();
        if (lines)
            lines->clear();
    }
    return ok;
}

QByteArray writeCsv(const SheetRows &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += u';';
            const QString &f = row[i];
            if (f.contains(u';') || f.contains(u'"') || f.contains(u'\n') || f.contains(u'\r')) {
                QString q = f;
                q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
                out += u'"' + q + u'"';
            } else {
                out += f;
            }
        }
        out += u"\r\n";
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

} // namespace prx::sheet
