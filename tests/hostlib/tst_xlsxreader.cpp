#include "sheet/CsvText.h"
#include "sheet/Sheet.h"
#include "sheet/SheetNumber.h"
#include "sheet/XlsxReader.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace prx::sheet;

namespace {

quint32 crc32Of(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

struct Entry
{
    QString name;
    QByteArray data;
    // Deflated with zlib when true; `declared` replaces the unpacked size
    // the archive states (a lie a hostile file may tell).
    bool deflate = false;
    qint64 declared = -1;
};

// A zip written byte by byte, so a test can make it say what no archiver
// would.
QByteArray zipOf(const QList<Entry> &entries)
{
    QByteArray out, central;
    for (const Entry &e : entries) {
        QByteArray body = e.data;
        if (e.deflate) {
            body = qCompress(e.data, 9);
            body = body.mid(6, body.size() - 10); // raw deflate: no size, header or checksum
        }
        const QByteArray name = e.name.toUtf8();
        const quint32 size = quint32(e.declared >= 0 ? e.declared : e.data.size());
        const quint32 offset = quint32(out.size());
        auto header = [&](QByteArray &to, bool isCentral) {
            put32(to, isCentral ? 0x02014b50 : 0x04034b50);
            if (isCentral)
                put16(to, 20);
            put16(to, 20);
            put16(to, 0x0800); // UTF-8 names
            put16(to, e.deflate ? 8 : 0);
            put16(to, 0);
            put16(to, 0x21);
            put32(to, crc32Of(e.data));
            put32(to, quint32(body.size()));
            put32(to, size);
            put16(to, quint16(name.size()));
            put16(to, 0);
            if (isCentral) {
                put16(to, 0);
                put16(to, 0);
                put16(to, 0);
                put32(to, 0);
                put32(to, offset);
            }
            to += name;
        };
        header(out, false);
        out += body;
        header(central, true);
    }
    const quint32 centralAt = quint32(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralAt);
    put16(out, 0);
    return out;
}

const char *const kMain = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                          "relationships\"";

QByteArray rels(const QList<std::pair<QString, QString>> &typeTarget)
{
    QByteArray out = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats"
                     ".org/package/2006/relationships\">";
    int id = 1;
    for (const auto &[type, target] : typeTarget)
        out += QStringLiteral("<Relationship Id=\"rId%1\" Type=\"http://schemas.openxmlformats.org/"
                              "officeDocument/2006/relationships/%2\" Target=\"%3\"/>")
                   .arg(id++)
                   .arg(type, target)
                   .toUtf8();
    return out + "</Relationships>";
}

// A workbook of two sheets, "Itens" and "Preços diferenciados", with shared
// strings and a style sheet whose styles 1 to 3 are a date, a time and a
// date with a time. `sheet1` is the first sheet's <sheetData> content.
QList<Entry> workbookEntries(const QByteArray &sheet1, const QByteArray &workbookPr = {})
{
    const QByteArray sheet2 = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Dia</t></is></c>"
                              "</row>";
    return {
        {"_rels/.rels", rels({{"officeDocument", "xl/workbook.xml"}})},
        {"xl/_rels/workbook.xml.rels", rels({{"worksheet", "worksheets/sheet1.xml"},
                                             {"worksheet", "/xl/worksheets/sheet2.xml"},
                                             {"sharedStrings", "sharedStrings.xml"},
                                             {"styles", "styles.xml"}})},
        {"xl/workbook.xml", QByteArray("<workbook ") + kMain + ">" + workbookPr +
                                "<sheets><sheet name=\"Itens\" sheetId=\"1\" r:id=\"rId1\"/>"
                                "<sheet name=\"Preços diferenciados\" sheetId=\"2\" "
                                "r:id=\"rId2\"/></sheets></workbook>"},
        {"xl/sharedStrings.xml",
         QByteArray("<sst ") + kMain +
             "><si><t>Código</t></si><si><r><t>Pão </t></r><r><t>&amp; leite</t></r>"
             "<rPh><t>x</t></rPh></si><si><t>a_x000D_b</t></si></sst>"},
        {"xl/styles.xml", QByteArray("<styleSheet ") + kMain +
                              "><numFmts count=\"1\"><numFmt numFmtId=\"170\" "
                              "formatCode=\"dd/mm/yyyy\\ hh:mm\"/></numFmts><cellXfs count=\"4\">"
                              "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"20\"/>"
                              "<xf numFmtId=\"170\"/></cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml",
         QByteArray("<worksheet ") + kMain + "><sheetData>" + sheet1 + "</sheetData></worksheet>",
         true},
        {"xl/worksheets/sheet2.xml",
         QByteArray("<worksheet ") + kMain + "><sheetData>" + sheet2 + "</sheetData></worksheet>"},
    };
}

} // namespace

class XlsxReaderTest : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of cell reads as the text the CSV of the sheet would hold:
    // a number misread as text with a point would be 1.234 -> 1234 in the
    // import, a date left as its serial number would be refused, a shared
    // string off by one names another product.
    void cells_data();
    void cells();
    // The sheet asked for by name, any case, and the workbook's order.
    void namedSheet();
    // Hostile or broken files end in a message, never a crash or a file
    // unpacked without bound.
    void brokenFiles_data();
    void brokenFiles();
    // What our own writer wrote reads back as the CSV export's texts.
    void ownWorkbookReadsBack();
    // Rows become CSV lines on the sheet's own row numbers, and a comma in
    // the header cannot be taken for the separator.
    void csvText();
    // The CSV text is written as the cells are read, without the rows: read
    // back it must give the same rows on the same lines as the rows do.
    void csvTextMatchesRows_data();
    void csvTextMatchesRows();
};

void XlsxReaderTest::cells_data()
{
    QTest::addColumn<QByteArray>("cell"); // one <c> of row 2, column B
    QTest::addColumn<QByteArray>("workbookPr");
    QTest::addColumn<QString>("text");
    const QByteArray none;
    QTest::newRow("shared string")
        << QByteArray("<c r=\"B2\" t=\"s\"><v>0</v></c>") << none << "Código";
    QTest::newRow("rich shared string without phonetics")
        << QByteArray("<c r=\"B2\" t=\"s\"><v>1</v></c>") << none << "Pão & leite";
    QTest::newRow("escaped character")
        << QByteArray("<c r=\"B2\" t=\"s\"><v>2</v></c>") << none << "a\rb";
    QTest::newRow("inline string")
        << QByteArray(
               "<c r=\"B2\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> 0001 </t></is></c>")
        << none << " 0001 ";
    QTest::newRow("formula string")
        << QByteArray("<c r=\"B2\" t=\"str\"><f>A1</f><v>x</v></c>") << none << "x";
    QTest::newRow("number") << QByteArray("<c r=\"B2\"><v>1234.5</v></c>") << none << "1234,5";
    QTest::newRow("number like a thousands group")
        << QByteArray("<c r=\"B2\"><v>1.234</v></c>") << none << "1,234";
    QTest::newRow("number of 17 digits")
        << QByteArray("<c r=\"B2\"><v>8.8900000000000006</v></c>") << none << "8,89";
    QTest::newRow("exponent") << QByteArray("<c r=\"B2\" t=\"n\"><v>1.5E-3</v></c>") << none
                              << "0,0015";
    QTest::newRow("negative") << QByteArray("<c r=\"B2\"><v>-2</v></c>") << none << "-2";
    // Numbers written as their shortest decimal are taken as they are; any
    // other spelling must still become the double's shortest decimal.
    QTest::newRow("trailing zero") << QByteArray("<c r=\"B2\"><v>12.50</v></c>") << none << "12,5";
    QTest::newRow("leading zeros") << QByteArray("<c r=\"B2\"><v>007</v></c>") << none << "7";
    QTest::newRow("negative zero") << QByteArray("<c r=\"B2\"><v>-0</v></c>") << none << "0";
    QTest::newRow("blanks around") << QByteArray("<c r=\"B2\"><v> 3.25 </v></c>") << none << "3,25";
    QTest::newRow("more digits than a double keeps")
        << QByteArray("<c r=\"B2\"><v>123456789012345678</v></c>") << none << "123456789012345680";
    QTest::newRow("fifteen digits")
        << QByteArray("<c r=\"B2\"><v>-1234567.12345678</v></c>") << none << "-1234567,12345678";
    QTest::newRow("small") << QByteArray("<c r=\"B2\"><v>0.000001</v></c>") << none << "0,000001";
    QTest::newRow("not a number") << QByteArray("<c r=\"B2\"><v>1.2.3</v></c>") << none << "1.2.3";
    QTest::newRow("true") << QByteArray("<c r=\"B2\" t=\"b\"><v>1</v></c>") << none << "VERDADEIRO";
    QTest::newRow("false") << QByteArray("<c r=\"B2\" t=\"b\"><v>0</v></c>") << none << "FALSO";
    QTest::newRow("error") << QByteArray("<c r=\"B2\" t=\"e\"><v>#N/D</v></c>") << none << "#N/D";
    QTest::newRow("date") << QByteArray("<c r=\"B2\" s=\"1\"><v>46054</v></c>") << none
                          << "01/02/2026";
    QTest::newRow("date before March 1900")
        << QByteArray("<c r=\"B2\" s=\"1\"><v>59</v></c>") << none << "28/02/1900";
    QTest::newRow("date in the 1904 system")
        << QByteArray("<c r=\"B2\" s=\"1\"><v>44592</v></c>")
        << QByteArray("<workbookPr date1904=\"1\"/>") << "01/02/2026";
    QTest::newRow("time") << QByteArray("<c r=\"B2\" s=\"2\"><v>0.72916666666666663</v></c>")
                          << none << "17:30";
    QTest::newRow("date and time")
        << QByteArray("<c r=\"B2\" s=\"3\"><v>46054.4375</v></c>") << none << "01/02/2026 10:30:00";
    QTest::newRow("date with a time in a date format")
        << QByteArray("<c r=\"B2\" s=\"1\"><v>46054.5</v></c>") << none << "01/02/2026 12:00:00";
    QTest::newRow("ISO date cell")
        << QByteArray("<c r=\"B2\" t=\"d\"><v>2026-02-01T00:00:00</v></c>") << none << "01/02/2026";
    QTest::newRow("cell without a reference") << QByteArray("<c/><c><v>7</v></c>") << none << "7";
}

void XlsxReaderTest::cells()
{
    QFETCH(QByteArray, cell);
    QFETCH(QByteArray, workbookPr);
    QFETCH(QString, text);
    const QByteArray sheet =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row><row r=\"2\">" + cell + "</row>";
    SheetRows rows;
    QList<int> lines;
    QString error;
    QVERIFY2(readXlsxRows(zipOf(workbookEntries(sheet, workbookPr)), {}, &rows, &lines, &error),
             qPrintable(error));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(lines, (QList<int>{1, 2}));
    QCOMPARE(rows[1].value(1), text);
    QCOMPARE(rows[1].value(0), QString());
}

void XlsxReaderTest::namedSheet()
{
    const QByteArray bytes = zipOf(workbookEntries("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    QString error;
    QCOMPARE(xlsxSheetNames(bytes, &error),
             (QStringList{QStringLiteral("Itens"), QStringLiteral("Preços diferenciados")}));
    SheetRows rows;
    QVERIFY2(readXlsxRows(bytes, QStringLiteral("preços DIFERENCIADOS"), &rows, nullptr, &error),
             qPrintable(error));
    QCOMPARE(rows, (SheetRows{{QStringLiteral("Dia")}}));
    QVERIFY(!readXlsxRows(bytes, QStringLiteral("Outra"), &rows, nullptr, &error));
    QCOMPARE(error, QStringLiteral("A pasta de trabalho não tem a planilha \"Outra\"; tem: Itens, "
                                   "Preços diferenciados."));
    QVERIFY(rows.isEmpty());
}

void XlsxReaderTest::brokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("error");
    const QString invalid = QStringLiteral("O arquivo não é uma pasta de trabalho XLSX válida: ");
    const qint64 big = qint64(1) << 30;
    QTest::newRow("not a zip") << QByteArray("Código;Preço\r\n1;2\r\n") << big
                               << invalid + "não é um arquivo zip.";
    QTest::newRow("empty") << QByteArray() << big << invalid + "não é um arquivo zip.";
    QTest::newRow("zip of nothing")
        << zipOf({}) << big << invalid + "o arquivo não tem a parte xl/workbook.xml.";
    QTest::newRow("cut short") << zipOf(workbookEntries("")).left(200) << big
                               << invalid + "não é um arquivo zip.";
    QTest::newRow("zip without a workbook")
        << zipOf({{"a.txt", "x"}}) << big << invalid + "o arquivo não tem a parte xl/workbook.xml.";
    QList<Entry> badXml = workbookEntries("<row r=\"1\"><c r=\"A1\"><v>1</v></row>");
    QTest::newRow("bad XML") << zipOf(badXml) << big << invalid + "XML inválido em xl/worksheets";
    QTest::newRow("shared string out of range")
        << zipOf(workbookEntries("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>")) << big
        << invalid + "a célula A1 aponta um texto que não existe.";
    QTest::newRow("rows out of order") << zipOf(workbookEntries("<row r=\"5\"/><row r=\"2\"/>"))
                                       << big << invalid + "número de linha inválido \"2\".";
    QTest::newRow("cell of another row")
        << zipOf(workbookEntries("<row r=\"1\"><c r=\"A7\"><v>1</v></c></row>")) << big
        << invalid + "referência de célula inválida \"A7\" na linha 1.";
    QList<Entry> lying = workbookEntries("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    lying[5].declared = 8;
    // The sizes an archive states are not what reading goes by: the data
    // and the limit are.
    QTest::newRow("declared size smaller than the data") << zipOf(lying) << big << QString();
    QList<Entry> huge = workbookEntries("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    huge[5].declared = 0xFFFFFFF0;
    QTest::newRow("huge declared size") << zipOf(huge) << big << QString();
    // A few kilobytes that unpack to many megabytes stop at the limit.
    const QByteArray rows =
        ("<row><c t=\"inlineStr\"><is><t>" + QByteArray(5000, 'a') + "</t></is></c></row>")
            .repeated(1000);
    QTest::newRow("bomb") << zipOf(workbookEntries(rows)) << qint64(1 << 20)
                          << "A pasta de trabalho passa de 1 MB descompactada";
    QTest::newRow("a row naming its last column only")
        << zipOf(workbookEntries("<row r=\"1\"><c r=\"XFD1\"><v>1</v></c></row>"
                                 "<row r=\"2\"><c r=\"XFD2\"><v>1</v></c></row>"))
        << big << "A planilha passa de 20000 células.";
}

void XlsxReaderTest::brokenFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, limit);
    QFETCH(QString, error);
    XlsxLimits limits;
    limits.maxUnpackedBytes = limit;
    limits.maxCells = 20000;
    SheetRows rows;
    QString reason;
    const bool read = readXlsxRows(bytes, {}, &rows, nullptr, &reason, limits);
    if (error.isEmpty()) {
        QVERIFY2(read, qPrintable(reason));
        QCOMPARE(rows, (SheetRows{{QStringLiteral("1")}}));
        return;
    }
    QVERIFY(!read);
    QVERIFY2(reason.startsWith(error), qPrintable(reason));
    QVERIFY(rows.isEmpty());
}

void XlsxReaderTest::ownWorkbookReadsBack()
{
    const QList<SheetColumn> columns{{QStringLiteral("Código"), {}, CellKind::Text, 12},
                                     {QStringLiteral("Preço"), {}, CellKind::Money, 12},
                                     {QStringLiteral("Custo"), {}, CellKind::Number3, 12},
                                     {QStringLiteral("Hora"), {}, CellKind::Hour, 8},
                                     {QStringLiteral("Promoção"), {}, CellKind::Flag, 8},
                                     {QStringLiteral("Início"), {}, CellKind::Date, 10}};
    const QList<QVariantList> values = {{QStringLiteral("0001"), 8.890000000000001, 12.341,
                                         QStringLiteral("0730"), QStringLiteral("S"),
                                         QDateTime(QDate(2026, 2, 1), QTime(0, 0))},
                                        {QStringLiteral("_x0041_;\"a\""), 1234567.5, QVariant(),
                                         QVariant(), QStringLiteral("N"), QVariant()}};
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.xlsx"));
    QString error;
    QVERIFY2(writeXlsx(path, {Sheet{QStringLiteral("Itens"), columns, values}}, &error),
             qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    SheetRows rows;
    QVERIFY2(readXlsxRows(file.readAll(), {}, &rows, nullptr, &error), qPrintable(error));
    QCOMPARE(rows.size(), 3);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < columns.size(); ++c) {
            // Numbers come back without thousands dots; the number reader
            // takes both.
            const QString expected = cellText(columns[c].kind, values[r].value(c));
            if (columns[c].kind == CellKind::Money || columns[c].kind == CellKind::Number3) {
                bool ok = false, same = false;
                const auto read = parseNumber(rows[r + 1].value(c), &ok);
                same = ok && read == parseNumber(expected, &ok);
                QVERIFY2(same, qPrintable(rows[r + 1].value(c) + QStringLiteral(" ") + expected));
            } else {
                QCOMPARE(rows[r + 1].value(c), expected);
            }
        }
    }
}

void XlsxReaderTest::csvText()
{
    const QByteArray bytes = zipOf(workbookEntries(
        "<row r=\"1\"><c t=\"inlineStr\"><is><t>Preço, R$</t></is></c><c t=\"inlineStr\"><is>"
        "<t>Código</t></is></c></row><row r=\"4\"><c><v>1.5</v></c><c t=\"inlineStr\"><is>"
        "<t>a;b\nc</t></is></c></row>"));
    QString csv, error;
    QVERIFY2(readXlsxAsCsv(bytes, {}, &csv, &error), qPrintable(error));
    SheetRows rows;
    QList<int> lines;
    QVERIFY2(readCsv(csv, &rows, &error, &lines), qPrintable(error));
    QCOMPARE(lines, (QList<int>{1, 4}));
    QCOMPARE(rows, (SheetRows{{QStringLiteral("Preço, R$"), QStringLiteral("Código")},
                              {QStringLiteral("1,5"), QStringLiteral("a;b c")}}));
}

void XlsxReaderTest::csvTextMatchesRows_data()
{
    QTest::addColumn<QByteArray>("sheet");
    auto text = [](const char *ref, const char *t) {
        return QByteArray("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
               t + "</t></is></c>";
    };
    QTest::newRow("blank rows between")
        << "<row r=\"2\">" + text("A2", "a") + "</row><row r=\"3\">" + text("B3", "  ") +
               "</row><row r=\"4\"><c r=\"A4\"/></row><row r=\"6\">" + text("A6", "b") + "</row>";
    QTest::newRow("columns left out and an empty last cell")
        << "<row r=\"1\">" + text("B1", "x") + "<c r=\"E1\"><v>2.5</v></c><c r=\"G1\"/></row>";
    QTest::newRow("quotes, separators and a byte order mark")
        << "<row r=\"1\">" +
               text("A1", "\xEF\xBB\xBF"
                          "a") +
               text("B1", "say \"hi\"; ok") +
               "<c r=\"C1\" t=\"s\"><v>1</v></c></row><row r=\"2\">" + text("A2", "\"") + "</row>";
    QTest::newRow("every kind of cell")
        << QByteArray("<row r=\"1\"><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/D</v></c>"
                      "<c s=\"1\"><v>46054</v></c><c s=\"3\"><v>46054.4375</v></c>"
                      "<c t=\"s\"><v>2</v></c><c><v>-0.5</v></c></row>");
}

void XlsxReaderTest::csvTextMatchesRows()
{
    QFETCH(QByteArray, sheet);
    const QByteArray bytes = zipOf(workbookEntries(sheet));
    SheetRows expected, read;
    QList<int> expectedLines, readLines;
    QString csv, error;
    QVERIFY2(readXlsxRows(bytes, {}, &expected, &expectedLines, &error), qPrintable(error));
    QVERIFY2(readXlsxAsCsv(bytes, {}, &csv, &error), qPrintable(error));
    QVERIFY2(readCsv(csv, &read, &error, &readLines), qPrintable(error));
    // Line breaks inside a cell are the one known difference ("a\rb" in
    // the shared strings).
    for (QStringList &row : expected) {
        for (QString &cell : row)
            cell.replace(u'\r', u' ');
    }
    QCOMPARE(read, expected);
    QCOMPARE(readLines, expectedLines);
}

QTEST_GUILESS_MAIN(XlsxReaderTest)
#include "tst_xlsxreader.moc"
