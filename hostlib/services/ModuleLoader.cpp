#include "ModuleLoader.h"

#include "UserAction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QRegularExpression>

namespace prx {

namespace {

QStringList &customPath()
{
    static QStringList folders;
    return folders;
}

// Loaded modules by file; never unloaded.
QHash<QString, QLibrary *> &loadedModules()
{
    static QHash<QString, QLibrary *> modules;
    return modules;
}

QString fileInFolder(const QDir &dir, const QString &name)
{
    const QStringList candidates = {QStringLiteral("lib%1.so").arg(name), name};
    for (const QString &c : candidates) {
        const QFileInfo info(dir.filePath(c));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    // Modules are named in capitals in some places and in mixed case in
    // others; the file system is not forgiving, so match without case.
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString &c : candidates) {
        for (const QString &e : entries) {
            if (e.compare(c, Qt::CaseInsensitive) == 0)
                return dir.filePath(e);
        }
    }
    return {};
}

} // namespace

void ModuleLoader::setSearchPath(const QStringList &folders)
{
    customPath() = folders;
}

QStringList ModuleLoader::searchPath()
{
    if (!customPath().isEmpty())
        return customPath();
    return {QCoreApplication::applicationDirPath()};
}

bool ModuleLoader::isValidName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch();
}

QString ModuleLoader::findFile(const QString &name)
{
    if (!isValidName(name))
        return {};
    for (const QString &folder : searchPath()) {
        const QString file = fileInFolder(QDir(folder), name);
        if (!file.isEmpty())
            return file;
    }
    return {};
}

bool ModuleLoader::load(const QString &name, IniProcFunction *iniProc, QString *error)
{
    *iniProc = nullptr;
    if (!isValidName(name)) {
        *error = QStringLiteral("Nome de módulo inválido: \"%1\".").arg(name);
        return false;
    }
    const QString file = findFile(name);
    if (file.isEmpty()) {
        *error = QStringLiteral("Módulo %1 não está instalado.").arg(name);
        return false;
    }
    QLibrary *library = loadedModules().value(file);
    if (!library) {
        library = new QLibrary(file); // lives as long as the program
        if (!library->load()) {
            *error = QStringLiteral("Módulo %1 não pôde ser carregado: %2")
                         .arg(name, library->errorString());
            delete library;
            return false;
        }
        loadedModules().insert(file, library);
    }
    *iniProc = reinterpret_cast<IniProcFunction>(library->resolve("IniProc"));
    return true;
}

bool LoadBPL(const QString &name)
{
    ModuleLoader::IniProcFunction iniProc = nullptr;
    QString error;
    if (!ModuleLoader::load(name, &iniProc, &error)) {
        MensErro(error, false);
        return false;
    }
    if (!iniProc)
        return true;
    return runUserAction([iniProc] { iniProc(); });
}

} // namespace prx
