// The XLSX side of Sheet.h, on the system's workbook writer library.
#include "sheet/Sheet.h"

#include "money/Decimal.h"

#include <QDir>
#include <QFile>

#include <xlsxwriter.h>

namespace prx::sheet {

namespace {

// Sheet names may not hold []:*?/\ and are at most 31 characters.
QString sheetName(const QString &name)
{
    QString out;
    for (QChar c : name)
        out += QStringLiteral("[]:*?/\\").contains(c) ? u'_' : c;
    return out.left(31);
}

} // namespace

bool writeXlsx(const QString &path, const QList<Sheet> &sheets, QString *error)
{
    // The library writes to the name it is given; a temporary name beside it
    // keeps a failed export from leaving half a workbook in its place.
    const QString partial = path + QStringLiteral(".part");
    const QByteArray partialName = QFile::encodeName(partial);
    lxw_workbook *book = workbook_new(partialName.constData());
    if (!book) {
        *error = QStringLiteral("Não foi possível criar o arquivo %1.").arg(path);
        return false;
    }
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    lxw_format *money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00");
    lxw_format *number3 = workbook_add_format(book);
    format_set_num_format(number3, "#,##0.000");
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");

    lxw_error failure = LXW_NO_ERROR;
    auto check = [&failure](lxw_error e) {
        if (failure == LXW_NO_ERROR && e != LXW_NO_ERROR)
            failure = e;
    };
    for (const Sheet &sheet : sheets) {
        const QByteArray name = sheetName(sheet.name).toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(book, name.constData());
        if (!ws) {
            failure = LXW_ERROR_MEMORY_MALLOC_FAILED;
            break;
        }
        worksheet_freeze_panes(ws, 1, 0);
        for (qsizetype c = 0; c < sheet.columns.size(); ++c) {
            const SheetColumn &col = sheet.columns[c];
            const bool isText = col.kind == CellKind::Text || col.kind == CellKind::Hour;
            check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), col.width,
                                       isText ? text : nullptr));
            check(worksheet_write_string(ws, 0, lxw_col_t(c), col.title.toUtf8().constData(),
                                         header));
        }
        for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
            const QVariantList &values = sheet.rows[r];
            const lxw_row_t row = lxw_row_t(r + 1);
            for (qsizetype c = 0; c < sheet.columns.size(); ++c) {
                const QVariant v = values.value(c);
                if (v.isNull())
                    continue;
                const CellKind kind = sheet.columns[c].kind;
                if (kind == CellKind::Money || kind == CellKind::Number3) {
                    // The double nearest the value's exact decimal, the one the
                    // CSV writes: a double a last bit off 8,89 (what double
                    // arithmetic leaves) goes in as 8,89's own double. The
                    // library prints numbers with 16 significant digits, so
                    // that double may read 8.890000000000001 in the XML; every
                    // reader takes it back as 8,89.
                    const double number = Decimal::fromDouble(v.toDouble()).toDouble();
                    check(worksheet_write_number(ws, row, lxw_col_t(c), number,
                                                 kind == CellKind::Money ? money : number3));
                } else {
                    const QByteArray cell = cellText(kind, v).toUtf8();
                    check(worksheet_write_string(ws, row, lxw_col_t(c), cell.constData(),
                                                 kind == CellKind::Text ? text : nullptr));
                }
            }
        }
    }
    const lxw_error closed = workbook_close(book);
    if (failure == LXW_NO_ERROR)
        failure = closed;
    if (failure != LXW_NO_ERROR) {
        QFile::remove(partial);
        *error = QStringLiteral("Não foi possível gravar o arquivo %1: %2.")
                     .arg(path, QString::fromUtf8(lxw_strerror(failure)));
        return false;
    }
    QFile::remove(path);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        *error = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(path);
        return false;
    }
    return true;
}

} // namespace prx::sheet
