#pragma once

#include <QStringList>

namespace prx {

// Finds and loads the host's modules: shared libraries that sit in the
// program's folder (or the folders set here) under the name "lib<Name>.so" or
// "<Name>". A loaded module stays loaded for the life of the program, since
// the forms it built keep running its code.
class ModuleLoader
{
public:
    // The entry point a module may export under this plain name.
    using IniProcFunction = void (*)();

    // Folders searched, in order; empty means the program's own folder.
    static void setSearchPath(const QStringList &folders);
    static QStringList searchPath();

    // A module name is a plain identifier (letters, digits, '_'): a name that
    // could point elsewhere in the file system is never looked up.
    static bool isValidName(const QString &name);
    // The file that holds the module, or an empty text when none does.
    static QString findFile(const QString &name);

    // Loads the module; false with a Portuguese message in *error when it is
    // missing or cannot be loaded. *iniProc receives its IniProc or null.
    static bool load(const QString &name, IniProcFunction *iniProc, QString *error);
};

// Loads a sibling module by name and, when it exports IniProc, calls it. A
// missing module shows "Módulo <name> não está instalado." and gives false; a
// failure inside IniProc is shown like any other failed command and gives
// false too.
bool LoadBPL(const QString &name);

} // namespace prx
