#include "net/TypedArgument.h"

#include "dataset/FieldDef.h"

#include <QLocale>

namespace prx {

bool parseTypedArgument(const QString &text, QVariant *value, QString *error)
{
    if (text == QLatin1StringView("null")) {
        *value = QVariant();
        return true;
    }
    if (text.size() < 2 || text[1] != QLatin1Char(':')) {
        *value = text;
        return true;
    }
    const QString rest = text.mid(2);
    bool ok = false;
    switch (text[0].unicode()) {
    case 'd': {
        const QDate date = QDate::fromString(rest, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            *error = QStringLiteral("data inválida em '%1' (use d:AAAA-MM-DD)").arg(text);
            return false;
        }
        *value = wallClock(date);
        return true;
    }
    case 't': {
        // Date and time are read apart: a local date-time could fall into a
        // daylight-saving gap of this machine and come out shifted.
        const qsizetype tee = rest.indexOf(QLatin1Char('T'));
        const QDate date = QDate::fromString(rest.left(tee), QStringLiteral("yyyy-MM-dd"));
        const QString clock = tee < 0 ? QString() : rest.mid(tee + 1);
        QTime time = QTime::fromString(clock, QStringLiteral("HH:mm:ss"));
        if (!time.isValid())
            time = QTime::fromString(clock, QStringLiteral("HH:mm"));
        if (!date.isValid() || !time.isValid()) {
            *error = QStringLiteral("data-hora inválida em '%1' (use t:AAAA-MM-DDTHH:MM[:SS])")
                         .arg(text);
            return false;
        }
        *value = wallClock(date, time);
        return true;
    }
    case 'n': {
        const double d = QLocale::c().toDouble(rest, &ok);
        if (!ok) {
            *error = QStringLiteral("número inválido em '%1' (use n:1.5)").arg(text);
            return false;
        }
        *value = d;
        return true;
    }
    case 'i': {
        const qint64 i = rest.toLongLong(&ok, 10);
        if (!ok) {
            *error = QStringLiteral("inteiro inválido em '%1' (use i:3)").arg(text);
            return false;
        }
        *value = i;
        return true;
    }
    case 'b':
        if (rest.compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0) {
            *value = true;
            return true;
        }
        if (rest.compare(QLatin1StringView("false"), Qt::CaseInsensitive) == 0) {
            *value = false;
            return true;
        }
        *error = QStringLiteral("valor lógico inválido em '%1' (use b:true ou b:false)").arg(text);
        return false;
    default:
        *value = text;
        return true;
    }
}

} // namespace prx
