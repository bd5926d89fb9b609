#include "ReportCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace prx::report {

namespace {

QString &chosenFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString reportsFolder()
{
    if (!chosenFolder().isEmpty())
        return chosenFolder();
    const QString env = qEnvironmentVariable("PRX_RELATORIOS");
    if (!env.isEmpty())
        return env;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("relatorios"));
}

void setReportsFolder(const QString &path)
{
    chosenFolder() = path;
}

QList<Definition> definitions(const QString &code)
{
    QList<Definition> found;
    const QDir dir(reportsFolder());
    const QStringList files =
        dir.entryList({code + QStringLiteral("*.rel")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &file : files) {
        QSettings ini(dir.filePath(file), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("relatorio"));
        Definition d;
        d.code = ini.value(QStringLiteral("codigo"), code).toString();
        d.title = ini.value(QStringLiteral("titulo")).toString();
        for (const QString &p : ini.value(QStringLiteral("parametros")).toStringList()) {
            if (!p.trimmed().isEmpty())
                d.parameters << p.trimmed();
        }
        d.path = dir.filePath(file);
        if (d.code == code && !d.title.isEmpty())
            found << d;
    }
    return found;
}

} // namespace prx::report
