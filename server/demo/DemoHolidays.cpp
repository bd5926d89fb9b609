#include "demo/DemoHolidays.h"

#include "demo/DemoWriter.h"

#include "dataset/FieldDef.h"

namespace prx::server {

QDate easterSunday(int year)
{
    // The Gregorian computus in integer steps (valid for every year after 1582).
    const int a = year % 19, b = year / 100, c = year % 100;
    const int d = b / 4, e = b % 4, f = (b + 8) / 25, g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return QDate(year, month, day);
}

QList<Holiday> nationalHolidays(int year)
{
    const QDate easter = easterSunday(year);
    QList<Holiday> list = {
        {QDate(year, 1, 1), QStringLiteral("Confraternização Universal")},
        {easter.addDays(-2), QStringLiteral("Sexta-feira Santa")},
        {QDate(year, 4, 21), QStringLiteral("Tiradentes")},
        {QDate(year, 5, 1), QStringLiteral("Dia do Trabalho")},
        {easter.addDays(60), QStringLiteral("Corpus Christi")},
        {QDate(year, 9, 7), QStringLiteral("Independência do Brasil")},
        {QDate(year, 10, 12), QStringLiteral("Nossa Senhora Aparecida")},
        {QDate(year, 11, 2), QStringLiteral("Finados")},
        {QDate(year, 11, 15), QStringLiteral("Proclamação da República")},
        {QDate(year, 12, 25), QStringLiteral("Natal")},
    };
    // A national holiday since 2024.
    if (year >= 2024)
        list.append({QDate(year, 11, 20), QStringLiteral("Consciência Negra")});
    return list;
}

QList<Holiday> carnivalDays(int year)
{
    const QDate easter = easterSunday(year);
    return {{easter.addDays(-48), QStringLiteral("Carnaval (segunda-feira)")},
            {easter.addDays(-47), QStringLiteral("Carnaval (terça-feira)")}};
}

void writeDemoHolidays(DemoWriter &out, int first, int last, const QString &carnivalBranch)
{
    for (int year = first; year <= last; ++year) {
        for (const Holiday &h : nationalHolidays(year))
            out.insert("FERIADO", {QStringLiteral("T"), wallClock(h.date), h.name});
        for (const Holiday &h : carnivalDays(year))
            out.insert("FERIADO", {carnivalBranch, wallClock(h.date), h.name});
    }
}

} // namespace prx::server
