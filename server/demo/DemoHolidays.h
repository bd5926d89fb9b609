#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace prx::server {

class DemoWriter;

struct Holiday
{
    QDate date;
    QString name;
};

// Easter Sunday of a Gregorian year.
QDate easterSunday(int year);

// Brazil's national holidays of a year: the fixed dates, Sexta-feira Santa
// and Corpus Christi. Carnaval is an optional point, not a holiday, so it is
// left to the branches that close for it (carnivalDays).
QList<Holiday> nationalHolidays(int year);
QList<Holiday> carnivalDays(int year);

// The national holidays of every year from `first` to `last`, under branch
// "T", and Carnaval as holidays of `carnivalBranch`.
void writeDemoHolidays(DemoWriter &out, int first, int last, const QString &carnivalBranch);

} // namespace prx::server
