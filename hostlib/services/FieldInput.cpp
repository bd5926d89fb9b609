#include "FieldInput.h"

#include "EditMask.h"
#include "UserAction.h"
#include "dataset/Field.h"
#include "dataset/Format.h"

namespace prx {

namespace {

// The text with the mask's blanks turned into spaces and each part of the date
// trimmed, so "_1/02/2026" and " 1/02/2026" read as "1/02/2026".
QString normalizedDate(const QString &text, bool *nothingTyped)
{
    QString t = text;
    t.replace(EditMask(DateMask()).blank(), QLatin1Char(' '));
    t = t.trimmed();
    *nothingTyped = true;
    for (const QChar c : std::as_const(t)) {
        if (c != QLatin1Char('/') && c != QLatin1Char(' ') && c != QLatin1Char(':')) {
            *nothingTyped = false;
            break;
        }
    }
    if (*nothingTyped)
        return {};
    // A time may follow the date after a blank; the blanks inside the date
    // itself come from the mask and carry no meaning.
    const qsizetype lastSlash = t.lastIndexOf(QLatin1Char('/'));
    const qsizetype timeStart = lastSlash < 0 ? -1 : t.indexOf(QLatin1Char(' '), lastSlash + 2);
    QString datePart = timeStart < 0 ? t : t.left(timeStart);
    const QString timePart = timeStart < 0 ? QString() : t.mid(timeStart + 1).trimmed();
    QStringList parts = datePart.split(QLatin1Char('/'));
    for (QString &p : parts)
        p = p.trimmed();
    datePart = parts.join(QLatin1Char('/'));
    return timePart.isEmpty() ? datePart : datePart + QLatin1Char(' ') + timePart;
}

} // namespace

void CheckDateTime(Field &field, const QString &text)
{
    bool nothingTyped = false;
    const QString normalized = normalizedDate(text, &nothingTyped);
    if (nothingTyped) {
        field.clear();
        return;
    }
    QDateTime value;
    if (!parseDateTime(normalized, &value))
        MensErro(QStringLiteral("'%1' não é uma data válida.").arg(text.trimmed()), true);
    field.setAsDateTime(value);
}

} // namespace prx
