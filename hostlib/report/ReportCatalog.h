#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace prx::report {

// A report definition of the host's reports folder: an INI file named
// "<code>*.rel" with, in its [relatorio] group, the title shown in the report
// chooser and the query parameters the report declares.
struct Definition
{
    QString code;
    QString title;
    QStringList parameters;
    QString path;

    bool declares(const QString &parameter) const { return parameters.contains(parameter); }
};

// The host's reports folder: the one set last, else $PRX_RELATORIOS, else
// "relatorios" beside the program.
QString reportsFolder();
void setReportsFolder(const QString &path); // empty goes back to the default

// The definitions of a report code, ordered by file name.
QList<Definition> definitions(const QString &code);

} // namespace prx::report
