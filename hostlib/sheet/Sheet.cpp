#include "sheet/Sheet.h"

#include "money/Decimal.h"
#include "sheet/SheetFile.h"
#include "sheet/SheetNumber.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace prx::sheet {

QString cellText(CellKind kind, const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (kind) {
    case CellKind::Money:
        return formatNumber(Decimal::fromDouble(value.toDouble()), 2);
    case CellKind::Number3:
        return formatNumber(Decimal::fromDouble(value.toDouble()), 3);
    case CellKind::Hour: {
        const QString h = value.toString();
        return h.size() == 4 ? h.left(2) + u':' + h.mid(2) : h;
    }
    case CellKind::Flag: {
        const QString f = value.toString();
        return f == u"S" ? QStringLiteral("Sim") : f == u"N" ? QStringLiteral("Não") : f;
    }
    case CellKind::Date:
        return value.toDateTime().date().toString(u"dd/MM/yyyy");
    case CellKind::Text:
        break;
    }
    return value.toString();
}

namespace {

QString siblingPath(const QString &path, const QString &name)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("csv") : info.suffix();
    // "Preços diferenciados" -> "precos-diferenciados": a plain name for any file system.
    QString slug;
    for (QChar c : name.normalized(QString::NormalizationForm_D).toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            slug += c;
        else if (c.isSpace() && !slug.endsWith(u'-'))
            slug += u'-';
    }
    return info.dir().filePath(info.completeBaseName() + u'-' + slug + u'.' + suffix);
}

} // namespace

namespace {

void appendField(QString &out, const QString &field)
{
    bool quote = false;
    for (QChar c : field) {
        if (c == u';' || c == u'"' || c == u'\n' || c == u'\r') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out += field;
        return;
    }
    out += u'"';
    for (QChar c : field) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
}

} // namespace

bool writeCsvFiles(const QString &path, const QList<Sheet> &sheets, QString *error)
{
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        const Sheet &sheet = sheets[s];
        // Written as writeCsv() writes, in one pass without a table of texts.
        QString out;
        out.reserve((sheet.rows.size() + 1) * sheet.columns.size() * 8);
        for (qsizetype c = 0; c < sheet.columns.size(); ++c) {
            if (c > 0)
                out += u';';
            appendField(out, sheet.columns[c].title);
        }
        out += QStringLiteral("\r\n");
        for (const QVariantList &values : sheet.rows) {
            for (qsizetype c = 0; c < sheet.columns.size(); ++c) {
                if (c > 0)
                    out += u';';
                appendField(out, cellText(sheet.columns[c].kind, values.value(c)));
            }
            out += QStringLiteral("\r\n");
        }
        if (!saveSheetFile(s == 0 ? path : siblingPath(path, sheet.name),
                           QByteArray("\xEF\xBB\xBF") + out.toUtf8(), error))
            return false;
    }
    return true;
}

bool writeSheets(const QString &path, const QList<Sheet> &sheets, QString *error)
{
    if (path.endsWith(u".xlsx", Qt::CaseInsensitive))
        return writeXlsx(path, sheets, error);
    return writeCsvFiles(path, sheets, error);
}

} // namespace prx::sheet
