#include "sheet/CsvText.h"
#include "sheet/PeriodSheet.h"
#include "sheet/Sheet.h"
#include "sheet/SheetImport.h"
#include "sheet/SheetNumber.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

using namespace prx;
using namespace prx::sheet;

class SheetFilesTest : public QObject
{
    Q_OBJECT

private slots:
    // Numbers as spreadsheets write them: a misread thousands dot turns
    // 1.234,56 into 1,23; a rounded cut turns 12,349 into 12,35.
    void numbers_data();
    void numbers();
    // What spreadsheets save: with or without the byte order mark, either
    // separator, quotes around separators, quotes and line breaks, CRLF, and
    // Windows-1252 text from older desktops.
    void csvReading_data();
    void csvReading();
    // A file whose separator cannot be told is refused rather than split
    // wrongly; so is one that ends inside quotes.
    void csvRefused_data();
    void csvRefused();
    // Written cells read back as they were, and the money text keeps every
    // place the value holds.
    void csvRoundTrip();
    // The workbook holds typed numbers with the money format, a frozen
    // header and the widths; a workbook that cannot be written leaves no
    // file behind and says why.
    void xlsx();
    // Every money column of the item sheet holds the value's exact decimal,
    // however the stored double was reached: "8,89" in the CSV and "8.89" in
    // the workbook's XML, never 8.890000000000001; a value with more places
    // keeps them.
    void exportedMoney_data();
    void exportedMoney();
    // The workbook a spreadsheet program opens: every part well-formed XML
    // (whatever the text cells hold), every sheet there under its name, with
    // its content type, a bold header row frozen above the rows and the
    // money format on money cells.
    void xlsxPackage_data();
    void xlsxPackage();
    // A workbook that cannot be written says why in Portuguese and leaves
    // nothing behind in the folder.
    void xlsxWriteFails_data();
    void xlsxWriteFails();
    // A sheet the import cannot key, or the differentiated prices' sheet
    // (which shares the price and hour titles), is refused whole.
    void importRefusesWrongSheets_data();
    void importRefusesWrongSheets();
};

void SheetFilesTest::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value"); // plain, empty for no value

    QTest::newRow("thousands and comma") << "1.234,56" << true << "1234.56";
    QTest::newRow("comma") << "1234,56" << true << "1234.56";
    QTest::newRow("point decimal") << "1234.56" << true << "1234.56";
    QTest::newRow("thousands only") << "1.234" << true << "1234";
    QTest::newRow("millions") << "1.234.567,8" << true << "1234567.8";
    QTest::newRow("currency") << "R$ 12,50" << true << "12.5";
    QTest::newRow("nbsp") << QStringLiteral("\u00A012,50 ") << true << "12.5";
    QTest::newRow("negative") << "-3,5" << true << "-3.5";
    QTest::newRow("cut past six places") << "0,12345678" << true << "0.123456";
    QTest::newRow("empty") << "  " << true << "";
    QTest::newRow("letters") << "abc" << false << "";
    QTest::newRow("two commas") << "1,2,3" << false << "";
    QTest::newRow("bad groups") << "1.23.4" << false << "";
    QTest::newRow("dot groups then comma misplaced") << "12.34,5" << false << "";
    QTest::newRow("two points") << "1.2.3" << false << "";
    QTest::newRow("sign only") << "-" << false << "";
}

void SheetFilesTest::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, value);
    bool parsed = false;
    const std::optional<Decimal> d = parseNumber(text, &parsed);
    QCOMPARE(parsed, ok);
    QCOMPARE(d ? d->toString(-1) : QString(), value);
}

void SheetFilesTest::csvReading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("rows"); // rows joined by "/", fields by "|"
    QTest::addColumn<QString>("lines");

    QTest::newRow("bom, semicolons, crlf") << QByteArray("\xEF\xBB\xBF"
                                                         "C\xC3\xB3"
                                                         "digo;Pre\xC3\xA7o\r\n1;1,50\r\n")
                                           << QStringLiteral("Código|Preço/1|1,50") << "1,2";
    QTest::newRow("no bom, commas, lf")
        << QByteArray("Codigo,Preco\n1,1.50\n2,\n") << "Codigo|Preco/1|1.50/2|"
        << "1,2,3";
    QTest::newRow("quoted comma decimals")
        << QByteArray("Codigo,Preco\n1,\"1.234,56\"\n") << "Codigo|Preco/1|1.234,56"
        << "1,2";
    QTest::newRow("quotes and line break inside")
        << QByteArray("a;b\r\n\"x;\"\"y\"\"\r\nz\";2\r\n3;4") << "a|b/x;\"y\"\r\nz|2/3|4"
        << "1,2,4";
    QTest::newRow("blank lines skipped") << QByteArray("a;b\r\n\r\n;\r\n1;2\r\n") << "a|b/1|2"
                                         << "1,4";
    QTest::newRow("windows-1252") << QByteArray("C\xF3"
                                                "digo;Pre\xE7o\r\n1;\x80 2\r\n")
                                  << "Código|Preço/1|€ 2"
                                  << "1,2";
}

void SheetFilesTest::csvReading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rows);
    QFETCH(QString, lines);
    SheetRows read;
    QList<int> at;
    QString error;
    QVERIFY2(readCsv(decodeCsv(bytes), &read, &error, &at), qPrintable(error));
    QStringList joined, lineTexts;
    for (const QStringList &r : std::as_const(read))
        joined << r.join(u'|');
    for (int l : std::as_const(at))
        lineTexts << QString::number(l);
    QCOMPARE(joined.join(u'/'), rows);
    QCOMPARE(lineTexts.join(u','), lines);
}

void SheetFilesTest::csvRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    QTest::newRow("both separators") << QByteArray("a;b,c\n1;2,3\n") << "\";\" e \",\"";
    QTest::newRow("open quote") << QByteArray("a;b\n\"1;2\n") << "aspas";
}

void SheetFilesTest::csvRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    SheetRows read;
    QString why;
    QVERIFY(!readCsv(decodeCsv(bytes), &read, &why));
    QVERIFY2(why.contains(error), qPrintable(why));
}

void SheetFilesTest::csvRoundTrip()
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.csv"));
    Sheet sheet{QStringLiteral("Itens"),
                {{QStringLiteral("Nome"), {}, CellKind::Text, 10},
                 {QStringLiteral("Preço"), {}, CellKind::Money, 10},
                 {QStringLiteral("Custo"), {}, CellKind::Number3, 10},
                 {QStringLiteral("Hora"), {}, CellKind::Hour, 10},
                 {QStringLiteral("Promoção"), {}, CellKind::Flag, 10}},
                {{QStringLiteral("Pão; \"francês\""), 1234.5, 2.12345, QStringLiteral("0730"),
                  QStringLiteral("S")},
                 {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("N")},
                 {QStringLiteral("x"), -1234567.5, 0.0, QVariant(), QVariant()}}};
    QString error;
    QVERIFY2(writeSheets(path, {sheet}, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    SheetRows rows;
    QVERIFY(readCsv(decodeCsv(bytes), &rows, &error));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[1], (QStringList{QStringLiteral("Pão; \"francês\""), QStringLiteral("1.234,50"),
                                   QStringLiteral("2,12345"), QStringLiteral("07:30"),
                                   QStringLiteral("Sim")}));
    QCOMPARE(rows[2], (QStringList{{}, {}, {}, {}, QStringLiteral("Não")}));
    QCOMPARE(rows[3], (QStringList{QStringLiteral("x"),
                                   QStringLiteral("-1.234.567,50"),
                                   QStringLiteral("0,000"),
                                   {},
                                   {}}));
}

void SheetFilesTest::xlsx()
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.xlsx"));
    Sheet items{
        QStringLiteral("Itens"),
        {{QStringLiteral("Código"), {}, CellKind::Text, 12},
         {QStringLiteral("Preço"), {}, CellKind::Money, 14}},
        {{QStringLiteral("0000000001"), 1234.5}, {QStringLiteral("0000000002"), QVariant()}}};
    Sheet days{QStringLiteral("Preços diferenciados"), items.columns, {}};
    QString error;
    QVERIFY2(writeSheets(path, {items, days}, &error), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("itens.xlsx")});

    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml"),
                 QStringLiteral("xl/styles.xml"), QStringLiteral("xl/workbook.xml")});
    if (!unzip.waitForStarted())
        QFAIL("unzip is not installed (scripts/install-deps.sh installs it)");
    QVERIFY(unzip.waitForFinished());
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(xml.contains(QStringLiteral("<c r=\"B2\" s=\"")) &&
                 xml.contains(QStringLiteral("<v>1234.5</v>")),
             "the price is not a typed number");
    QVERIFY(xml.contains(QStringLiteral("formatCode=\"#,##0.00\"")));
    QVERIFY(xml.contains(QStringLiteral("state=\"frozen\"")));
    QVERIFY(xml.contains(QStringLiteral("width=\"14.")));
    QVERIFY(xml.contains(QStringLiteral("name=\"Preços diferenciados\"")));

    const QString nowhere = dir.filePath(QStringLiteral("falta/itens.xlsx"));
    QVERIFY(!writeSheets(nowhere, {items}, &error));
    QVERIFY2(error.contains(nowhere), qPrintable(error));
    QVERIFY(!QFile::exists(nowhere) && !QFile::exists(nowhere + QStringLiteral(".part")));
}

namespace {

// The text of one cell of the first worksheet of a workbook ("J2").
QString xlsxCell(const QString &path, const QString &cell)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    if (!unzip.waitForStarted() || !unzip.waitForFinished())
        return QStringLiteral("unzip is not installed (scripts/install-deps.sh installs it)");
    const QRegularExpression value(QStringLiteral("<c r=\"%1\"[^>]*><v>([^<]*)</v>").arg(cell));
    return value.match(QString::fromUtf8(unzip.readAllStandardOutput())).captured(1);
}

} // namespace

void SheetFilesTest::exportedMoney_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("csv");
    QTest::addColumn<QString>("xlsx");
    QTest::newRow("calculated price") << "VRCUSTITEM" << 8.89 << "8,89"
                                      << "8.89";
    QTest::newRow("calculated price a hair above")
        << "VRCUSTITEM" << std::nextafter(8.89, 9.0) << "8,89"
        << "8.89";
    QTest::newRow("calculated price a hair below")
        << "VRCUSTITEM" << std::nextafter(8.89, 8.0) << "8,89"
        << "8.89";
    QTest::newRow("price a hair above") << "VRPRECITEM" << std::nextafter(8.89, 9.0) << "8,89"
                                        << "8.89";
    QTest::newRow("a stored third place is kept") << "VRPRECITEM" << 9.876 << "9,876"
                                                  << "9.876";
    QTest::newRow("left over by double arithmetic") << "VRPRECITEM" << 0.1 * 3 * 10000 << "3.000,00"
                                                    << "3000";
}

void SheetFilesTest::exportedMoney()
{
    QFETCH(QString, field);
    QFETCH(double, stored);
    QFETCH(QString, csv);
    QFETCH(QString, xlsx);
    ColumnTable items(
        {{QStringLiteral("CDPRODUTO"), FieldType::String, 20}, {field, FieldType::Float, 0}});
    const int row = items.appendRow();
    items.setString(row, 0, u"0000000001");
    items.setReal(row, 1, stored);
    const QList<Sheet> sheets = periodSheets(items);
    int column = 0;
    while (sheets[0].columns[column].field != field)
        ++column;

    const QTemporaryDir dir;
    QString error;
    const QString csvPath = dir.filePath(QStringLiteral("itens.csv"));
    QVERIFY2(writeSheets(csvPath, sheets, &error), qPrintable(error));
    QFile file(csvPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    SheetRows rows;
    QVERIFY(readCsv(decodeCsv(file.readAll()), &rows, &error));
    QCOMPARE(rows.value(1).value(column), csv);

    const QString xlsxPath = dir.filePath(QStringLiteral("itens.xlsx"));
    QVERIFY2(writeSheets(xlsxPath, sheets, &error), qPrintable(error));
    QCOMPARE(xlsxCell(xlsxPath, QChar(u'A' + column) + QStringLiteral("2")), xlsx);
}

namespace {

// Every part of a workbook by its name in the zip, as unzip reads it.
QMap<QString, QByteArray> xlsxParts(const QString &path)
{
    QMap<QString, QByteArray> parts;
    QProcess list;
    list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), path});
    if (!list.waitForStarted() || !list.waitForFinished())
        return parts;
    for (const QByteArray &name : list.readAllStandardOutput().split('\n')) {
        if (name.isEmpty())
            continue;
        // unzip reads brackets as a pattern.
        QString pattern = QString::fromUtf8(name);
        pattern.replace(u'[', QStringLiteral("\\[")).replace(u']', QStringLiteral("\\]"));
        QProcess part;
        part.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, pattern});
        part.waitForFinished();
        parts.insert(QString::fromUtf8(name), part.readAllStandardOutput());
    }
    return parts;
}

// The attributes of every element at the path ("worksheet/sheetData/row/c"),
// in document order; the element's index among its siblings of that path is
// its place in the list. *wellFormed false when the XML does not parse.
QList<QXmlStreamAttributes> elementsAt(const QByteArray &xml, const QString &path,
                                       bool *wellFormed = nullptr)
{
    QList<QXmlStreamAttributes> found;
    QStringList open;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            open << reader.name().toString();
            if (open.join(u'/') == path)
                found << reader.attributes();
        } else if (reader.isEndElement()) {
            open.removeLast();
        }
    }
    if (wellFormed)
        *wellFormed = !reader.hasError();
    return found;
}

} // namespace

void SheetFilesTest::xlsxPackage_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("items and differentiated prices")
        << QStringList{QStringLiteral("Itens"), QStringLiteral("Preços diferenciados")}
        << QStringList{QStringLiteral("Itens"), QStringLiteral("Preços diferenciados")}
        << QStringLiteral("Pão & \"leite\" <1>");
    QTest::newRow("control characters and a literal escape in a name")
        << QStringList{QStringLiteral("Itens")} << QStringList{QStringLiteral("Itens")}
        << QStringLiteral("Caf\u00E9\u0001\u000B\r\n_x0041_ ");
    // A workbook holding one name twice, or an empty one, does not open.
    QTest::newRow("names a workbook refuses")
        << QStringList{QStringLiteral("a/b:c"), QStringLiteral("A/B:C"), QString()}
        << QStringList{QStringLiteral("a_b_c"), QStringLiteral("A_B_C (2)"),
                       QStringLiteral("Planilha3")}
        << QStringLiteral("x");
}

void SheetFilesTest::xlsxPackage()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, stored);
    QFETCH(QString, text);
    const QList<SheetColumn> columns{{QStringLiteral("Nome"), {}, CellKind::Text, 30},
                                     {QStringLiteral("Preço"), {}, CellKind::Money, 12},
                                     {QStringLiteral("Custo"), {}, CellKind::Number3, 12}};
    QList<Sheet> sheets;
    for (const QString &name : std::as_const(names))
        sheets << Sheet{name, columns, {{text, 8.89, 2.5}}};
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("itens.xlsx"));
    QString error;
    QVERIFY2(writeSheets(path, sheets, &error), qPrintable(error));

    const QMap<QString, QByteArray> parts = xlsxParts(path);
    QVERIFY2(!parts.isEmpty(), "unzip is not installed (scripts/install-deps.sh installs it)");
    for (auto part = parts.begin(); part != parts.end(); ++part) {
        bool wellFormed = false;
        elementsAt(part.value(), {}, &wellFormed);
        QVERIFY2(wellFormed, qPrintable(part.key()));
    }
    QSet<QString> typed;
    for (const auto &o : elementsAt(parts.value(QStringLiteral("[Content_Types].xml")),
                                    QStringLiteral("Types/Override")))
        typed << o.value(QLatin1String("PartName")).toString();
    QHash<QString, QString> targets;
    for (const auto &r : elementsAt(parts.value(QStringLiteral("xl/_rels/workbook.xml.rels")),
                                    QStringLiteral("Relationships/Relationship")))
        targets.insert(r.value(QLatin1String("Id")).toString(),
                       r.value(QLatin1String("Target")).toString());

    // Which font and number format each style index stands for.
    const QByteArray styles = parts.value(QStringLiteral("xl/styles.xml"));
    QList<bool> bold;
    QXmlStreamReader fonts(styles);
    while (!fonts.atEnd()) {
        if (fonts.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (fonts.name() == u"font")
            bold << false;
        else if (fonts.name() == u"b" && !bold.isEmpty())
            bold.last() = true;
    }
    QHash<QString, QString> formats{{QStringLiteral("0"), QStringLiteral("General")}};
    for (const auto &f : elementsAt(styles, QStringLiteral("styleSheet/numFmts/numFmt")))
        formats.insert(f.value(QLatin1String("numFmtId")).toString(),
                       f.value(QLatin1String("formatCode")).toString());
    const QList<QXmlStreamAttributes> xfs =
        elementsAt(styles, QStringLiteral("styleSheet/cellXfs/xf"));

    const QList<QXmlStreamAttributes> listed = elementsAt(
        parts.value(QStringLiteral("xl/workbook.xml")), QStringLiteral("workbook/sheets/sheet"));
    QStringList listedNames;
    for (const auto &sheet : listed)
        listedNames << sheet.value(QLatin1String("name")).toString();
    QCOMPARE(listedNames, stored);
    for (const auto &sheet : listed) {
        const QString part =
            QStringLiteral("xl/") + targets.value(sheet.value(QLatin1String("r:id")).toString());
        QVERIFY2(parts.contains(part) && typed.contains(u'/' + part), qPrintable(part));
        const QByteArray xml = parts.value(part);
        const QList<QXmlStreamAttributes> panes =
            elementsAt(xml, QStringLiteral("worksheet/sheetViews/sheetView/pane"));
        QCOMPARE(panes.size(), 1);
        QCOMPARE(panes[0].value(QLatin1String("state")), u"frozen");
        QCOMPARE(panes[0].value(QLatin1String("ySplit")), u"1");
        QHash<QString, int> style;
        for (const auto &c : elementsAt(xml, QStringLiteral("worksheet/sheetData/row/c")))
            style.insert(c.value(QLatin1String("r")).toString(),
                         c.value(QLatin1String("s")).toInt());
        for (const QString &header :
             {QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("C1")}) {
            const int font = xfs.value(style.value(header)).value(QLatin1String("fontId")).toInt();
            QVERIFY2(bold.value(font), qPrintable(header));
        }
        auto format = [&](const QString &cell) {
            return formats.value(
                xfs.value(style.value(cell)).value(QLatin1String("numFmtId")).toString());
        };
        QCOMPARE(format(QStringLiteral("B2")), QStringLiteral("#,##0.00"));
        QCOMPARE(format(QStringLiteral("C2")), QStringLiteral("#,##0.000"));
    }
}

void SheetFilesTest::xlsxWriteFails_data()
{
    QTest::addColumn<QString>("target"); // inside the test's folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "falta/itens.xlsx"
                                    << "não existe";
    QTest::newRow("a folder of that name") << "pasta.xlsx"
                                           << "já existe uma pasta com esse nome";
    QTest::newRow("a file where the folder should be") << "arquivo/itens.xlsx"
                                                       << "não é uma pasta";
}

void SheetFilesTest::xlsxWriteFails()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pasta.xlsx")));
    QFile file(dir.filePath(QStringLiteral("arquivo")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const QString path = dir.filePath(target);
    const Sheet sheet{
        QStringLiteral("Itens"), {{QStringLiteral("Preço"), {}, CellKind::Money, 12}}, {{8.89}}};
    QString error;
    QVERIFY(!writeSheets(path, {sheet}, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível gravar o arquivo %1: ").arg(path)),
             qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(QDir(dir.filePath(QStringLiteral("pasta.xlsx"))).isEmpty());
}

void SheetFilesTest::importRefusesWrongSheets_data()
{
    QTest::addColumn<QString>("csv");
    QTest::addColumn<QString>("error");
    QTest::newRow("no code column") << "Produto;Preço\r\n01;1,00\r\n"
                                    << "coluna \"Código\"";
    QTest::newRow("column twice") << "Código;Preço;preço\r\n1;1;2\r\n"
                                  << "mais de uma vez";
    QTest::newRow("empty") << ""
                           << "vazia";
    const ColumnTable none;
    const QList<Sheet> sheets = periodSheets(none, &none);
    QStringList titles;
    for (const SheetColumn &c : sheets[1].columns)
        titles << c.title;
    QTest::newRow("differentiated prices")
        << titles.join(u';') + QStringLiteral("\r\n") << "preços diferenciados";
}

void SheetFilesTest::importRefusesWrongSheets()
{
    QFETCH(QString, csv);
    QFETCH(QString, error);
    QHash<QString, PeriodItem> items;
    items.insert(QStringLiteral("0000000001"), PeriodItem{QStringLiteral("Café"), true, {}});
    const ImportPlan plan = planImportText(csv, items);
    QVERIFY2(plan.fileError.contains(error), qPrintable(plan.fileError));
    QVERIFY(plan.lines.isEmpty());
}

QTEST_GUILESS_MAIN(SheetFilesTest)
#include "tst_sheetfiles.moc"
