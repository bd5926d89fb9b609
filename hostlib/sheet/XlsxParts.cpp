#include "sheet/XlsxParts.h"

#include "money/Decimal.h"

#include <QIODevice>
#include <QLocale>
#include <QSet>
#include <QXmlStreamWriter>

#include <cmath>

namespace prx::sheet::xlsx {

namespace {

const QString kMainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRelNs =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kPackageRelNs =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
const QString kContentTypesNs =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types");

// Indexes into styles()'s cellXfs, in the order it writes them.
enum Style
{
    GeneralStyle = 0,
    HeaderStyle = 1,
    MoneyStyle = 2,
    Number3Style = 3,
    TextStyle = 4,
};

// The style a cell of the kind carries; hours are text, so "07:30" stays the
// text the import reads back and is not turned into a fraction of a day.
int cellStyle(CellKind kind)
{
    switch (kind) {
    case CellKind::Money:
        return MoneyStyle;
    case CellKind::Number3:
        return Number3Style;
    case CellKind::Text:
    case CellKind::Hour:
        return TextStyle;
    case CellKind::Flag:
    case CellKind::Date:
        break;
    }
    return GeneralStyle;
}

// A width in characters as the file stores it: the characters of the widest
// digit (7 pixels at the default font) plus 5 pixels of cell padding, in
// 1/256 of a character.
QString storedWidth(double characters)
{
    const double width = std::floor((characters * 7 + 5) / 7 * 256) / 256;
    return QString::number(width, 'f', QLocale::FloatingPointShortest);
}

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QString escapedChar(char16_t c)
{
    return QStringLiteral("_x") + QString::number(uint(c), 16).rightJustified(4, u'0').toUpper() +
           u'_';
}

void startPart(QXmlStreamWriter &xml, const QString &root, const QString &ns)
{
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(root);
    xml.writeDefaultNamespace(ns);
}

QByteArray finished(QXmlStreamWriter &xml, QByteArray &bytes)
{
    xml.writeEndDocument();
    return bytes;
}

void writeInlineString(QXmlStreamWriter &xml, const QString &ref, int style, const QString &text)
{
    xml.writeStartElement(QStringLiteral("c"));
    xml.writeAttribute(QStringLiteral("r"), ref);
    if (style != GeneralStyle)
        xml.writeAttribute(QStringLiteral("s"), QString::number(style));
    xml.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
    xml.writeStartElement(QStringLiteral("is"));
    xml.writeStartElement(QStringLiteral("t"));
    const QString safe = cellString(text);
    // Readers drop leading and trailing blanks and fold line breaks unless told
    // to keep them.
    if (!safe.isEmpty() && (safe.front().isSpace() || safe.back().isSpace() ||
                            safe.contains(u'\n') || safe.contains(u'\t')))
        xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
    xml.writeCharacters(safe);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
}

} // namespace

QString columnName(int column)
{
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QStringList sheetNames(const QList<Sheet> &sheets)
{
    QStringList names;
    QSet<QString> taken;
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        QString name;
        for (QChar c : sheets[s].name) {
            if (c.unicode() < 0x20)
                continue;
            name += QStringLiteral("[]:*?/\\").contains(c) ? u'_' : c;
        }
        // A quote may not open or close a name.
        name = name.trimmed();
        while (name.startsWith(u'\''))
            name.remove(0, 1);
        while (name.endsWith(u'\''))
            name.chop(1);
        if (name.isEmpty())
            name = QStringLiteral("Planilha%1").arg(s + 1);
        name.truncate(31);
        if (name.back().isHighSurrogate())
            name.chop(1);
        // Two sheets of one name make the workbook unreadable: the later one
        // gets a number.
        const QString base = name;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = base.left(31 - suffix.size()) + suffix;
        }
        taken.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

QString numberText(const QVariant &value)
{
    const double number = value.toDouble();
    try {
        return Decimal::fromDouble(number).toString(-1);
    } catch (const MoneyOverflow &) {
        // Past what a Decimal holds (10^20) nothing is money; the shortest
        // text that reads back as the same double.
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
}

QString cellString(const QString &text)
{
    bool plain = true;
    for (QChar c : text) {
        if ((c.unicode() < 0x20 && c != u'\t' && c != u'\n') || c == u'_' || c.isSurrogate() ||
            c.unicode() >= 0xFFFE) {
            plain = false;
            break;
        }
    }
    if (plain)
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && isHex(text[i + 2]) &&
            isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == u'_') {
            out += escapedChar(u'_');
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if ((c.unicode() < 0x20 && c != u'\t' && c != u'\n') || c.isSurrogate() ||
                   c.unicode() >= 0xFFFE) {
            out += escapedChar(c.unicode());
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray contentTypes(int sheetCount)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startPart(xml, QStringLiteral("Types"), kContentTypesNs);
    auto add = [&xml](const char *element, const char *key, const QString &value,
                      const char *type) {
        xml.writeEmptyElement(QLatin1String(element));
        xml.writeAttribute(QLatin1String(key), value);
        xml.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    add("Default", "Extension", QStringLiteral("rels"),
        "application/vnd.openxmlformats-package.relationships+xml");
    add("Default", "Extension", QStringLiteral("xml"), "application/xml");
    add("Override", "PartName", QStringLiteral("/xl/workbook.xml"),
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    for (int s = 0; s < sheetCount; ++s)
        add("Override", "PartName", u'/' + worksheetPath(s),
            "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
    add("Override", "PartName", QStringLiteral("/xl/styles.xml"),
        "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
    return finished(xml, bytes);
}

namespace {

void writeRelationship(QXmlStreamWriter &xml, const QString &id, const QString &type,
                       const QString &target)
{
    xml.writeEmptyElement(QStringLiteral("Relationship"));
    xml.writeAttribute(QStringLiteral("Id"), id);
    xml.writeAttribute(QStringLiteral("Type"), kRelNs + u'/' + type);
    xml.writeAttribute(QStringLiteral("Target"), target);
}

} // namespace

QByteArray packageRelationships()
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startPart(xml, QStringLiteral("Relationships"), kPackageRelNs);
    writeRelationship(xml, QStringLiteral("rId1"), QStringLiteral("officeDocument"),
                      QStringLiteral("xl/workbook.xml"));
    return finished(xml, bytes);
}

QByteArray workbook(const QStringList &names)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startPart(xml, QStringLiteral("workbook"), kMainNs);
    xml.writeNamespace(kRelNs, QStringLiteral("r"));
    xml.writeStartElement(QStringLiteral("bookViews"));
    xml.writeEmptyElement(QStringLiteral("workbookView"));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("sheets"));
    for (qsizetype s = 0; s < names.size(); ++s) {
        xml.writeEmptyElement(QStringLiteral("sheet"));
        xml.writeAttribute(QStringLiteral("name"), names[s]);
        xml.writeAttribute(QStringLiteral("sheetId"), QString::number(s + 1));
        xml.writeAttribute(kRelNs, QStringLiteral("id"), QStringLiteral("rId%1").arg(s + 1));
    }
    xml.writeEndElement();
    return finished(xml, bytes);
}

QByteArray workbookRelationships(int sheetCount)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startPart(xml, QStringLiteral("Relationships"), kPackageRelNs);
    for (int s = 0; s < sheetCount; ++s)
        writeRelationship(xml, QStringLiteral("rId%1").arg(s + 1), QStringLiteral("worksheet"),
                          worksheetPath(s).mid(3)); // relative to xl/
    writeRelationship(xml, QStringLiteral("rId%1").arg(sheetCount + 1), QStringLiteral("styles"),
                      QStringLiteral("styles.xml"));
    return finished(xml, bytes);
}

QByteArray styles()
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startPart(xml, QStringLiteral("styleSheet"), kMainNs);
    auto element = [&xml](const char *name,
                          std::initializer_list<std::pair<const char *, QString>> attributes) {
        xml.writeEmptyElement(QLatin1String(name));
        for (const auto &[key, value] : attributes)
            xml.writeAttribute(QLatin1String(key), value);
    };

    xml.writeStartElement(QStringLiteral("numFmts"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
    element("numFmt",
            {{"numFmtId", QStringLiteral("164")}, {"formatCode", QStringLiteral("#,##0.00")}});
    element("numFmt",
            {{"numFmtId", QStringLiteral("165")}, {"formatCode", QStringLiteral("#,##0.000")}});
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("fonts"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
    for (bool bold : {false, true}) {
        xml.writeStartElement(QStringLiteral("font"));
        if (bold)
            xml.writeEmptyElement(QStringLiteral("b"));
        element("sz", {{"val", QStringLiteral("11")}});
        element("name", {{"val", QStringLiteral("Arial")}});
        element("family", {{"val", QStringLiteral("2")}});
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("fills"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("2"));
    for (const char *pattern : {"none", "gray125"}) {
        xml.writeStartElement(QStringLiteral("fill"));
        element("patternFill", {{"patternType", QLatin1String(pattern)}});
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("borders"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    xml.writeStartElement(QStringLiteral("border"));
    for (const char *side : {"left", "right", "top", "bottom", "diagonal"})
        xml.writeEmptyElement(QLatin1String(side));
    xml.writeEndElement();
    xml.writeEndElement();

    const QString zero = QStringLiteral("0");
    xml.writeStartElement(QStringLiteral("cellStyleXfs"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    element("xf", {{"numFmtId", zero}, {"fontId", zero}, {"fillId", zero}, {"borderId", zero}});
    xml.writeEndElement();

    // In Style's order: general, bold header, money, three places, text ("@"
    // is the built-in format 49).
    xml.writeStartElement(QStringLiteral("cellXfs"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("5"));
    const std::pair<QString, QString> xfs[] = {{zero, zero},
                                               {zero, QStringLiteral("1")},
                                               {QStringLiteral("164"), zero},
                                               {QStringLiteral("165"), zero},
                                               {QStringLiteral("49"), zero}};
    for (const auto &[format, font] : xfs) {
        xml.writeEmptyElement(QStringLiteral("xf"));
        xml.writeAttribute(QStringLiteral("numFmtId"), format);
        xml.writeAttribute(QStringLiteral("fontId"), font);
        xml.writeAttribute(QStringLiteral("fillId"), zero);
        xml.writeAttribute(QStringLiteral("borderId"), zero);
        xml.writeAttribute(QStringLiteral("xfId"), zero);
        if (format != zero)
            xml.writeAttribute(QStringLiteral("applyNumberFormat"), QStringLiteral("1"));
        if (font != zero)
            xml.writeAttribute(QStringLiteral("applyFont"), QStringLiteral("1"));
    }
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("cellStyles"));
    xml.writeAttribute(QStringLiteral("count"), QStringLiteral("1"));
    element("cellStyle", {{"name", QStringLiteral("Normal")}, {"xfId", zero}, {"builtinId", zero}});
    xml.writeEndElement();
    return finished(xml, bytes);
}

bool writeWorksheet(QIODevice *out, const Sheet &sheet, bool first)
{
    QXmlStreamWriter xml(out);
    startPart(xml, QStringLiteral("worksheet"), kMainNs);

    const qsizetype columnCount = sheet.columns.size();
    QStringList letters;
    QList<int> styles;
    for (qsizetype c = 0; c < columnCount; ++c) {
        letters << columnName(int(c));
        styles << cellStyle(sheet.columns[c].kind);
    }
    xml.writeEmptyElement(QStringLiteral("dimension"));
    xml.writeAttribute(
        QStringLiteral("ref"),
        columnCount == 0
            ? QStringLiteral("A1")
            : QStringLiteral("A1:%1%2").arg(letters.last()).arg(sheet.rows.size() + 1));

    // The header row stays in view while the rows scroll.
    xml.writeStartElement(QStringLiteral("sheetViews"));
    xml.writeStartElement(QStringLiteral("sheetView"));
    if (first)
        xml.writeAttribute(QStringLiteral("tabSelected"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("workbookViewId"), QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("pane"));
    xml.writeAttribute(QStringLiteral("ySplit"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("topLeftCell"), QStringLiteral("A2"));
    xml.writeAttribute(QStringLiteral("activePane"), QStringLiteral("bottomLeft"));
    xml.writeAttribute(QStringLiteral("state"), QStringLiteral("frozen"));
    xml.writeEmptyElement(QStringLiteral("selection"));
    xml.writeAttribute(QStringLiteral("pane"), QStringLiteral("bottomLeft"));
    xml.writeAttribute(QStringLiteral("activeCell"), QStringLiteral("A2"));
    xml.writeAttribute(QStringLiteral("sqref"), QStringLiteral("A2"));
    xml.writeEndElement();
    xml.writeEndElement();

    xml.writeEmptyElement(QStringLiteral("sheetFormatPr"));
    xml.writeAttribute(QStringLiteral("defaultRowHeight"), QStringLiteral("15"));

    if (columnCount > 0) {
        // A column's format is what a cell typed into it later takes: codes
        // stay text ("0001" keeps its zeros).
        xml.writeStartElement(QStringLiteral("cols"));
        for (qsizetype c = 0; c < columnCount; ++c) {
            const QString index = QString::number(c + 1);
            xml.writeEmptyElement(QStringLiteral("col"));
            xml.writeAttribute(QStringLiteral("min"), index);
            xml.writeAttribute(QStringLiteral("max"), index);
            xml.writeAttribute(QStringLiteral("width"), storedWidth(sheet.columns[c].width));
            if (styles[c] == TextStyle)
                xml.writeAttribute(QStringLiteral("style"), QString::number(TextStyle));
            xml.writeAttribute(QStringLiteral("customWidth"), QStringLiteral("1"));
        }
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("sheetData"));
    xml.writeStartElement(QStringLiteral("row"));
    xml.writeAttribute(QStringLiteral("r"), QStringLiteral("1"));
    for (qsizetype c = 0; c < columnCount; ++c)
        writeInlineString(xml, letters[c] + u'1', HeaderStyle, sheet.columns[c].title);
    xml.writeEndElement();
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        const QVariantList &values = sheet.rows[r];
        const QString row = QString::number(r + 2);
        xml.writeStartElement(QStringLiteral("row"));
        xml.writeAttribute(QStringLiteral("r"), row);
        for (qsizetype c = 0; c < columnCount; ++c) {
            const QVariant value = values.value(c);
            if (value.isNull())
                continue;
            const CellKind kind = sheet.columns[c].kind;
            if (kind == CellKind::Money || kind == CellKind::Number3) {
                xml.writeStartElement(QStringLiteral("c"));
                xml.writeAttribute(QStringLiteral("r"), letters[c] + row);
                xml.writeAttribute(QStringLiteral("s"), QString::number(styles[c]));
                xml.writeTextElement(QStringLiteral("v"), numberText(value));
                xml.writeEndElement();
            } else {
                writeInlineString(xml, letters[c] + row, styles[c], cellText(kind, value));
            }
        }
        xml.writeEndElement();
        if (xml.hasError())
            return false;
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}

} // namespace prx::sheet::xlsx
