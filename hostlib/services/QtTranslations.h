#pragma once

#include <QString>

namespace prx {

// Qt's own texts (the edit menus, the file, print and preview dialogs, the
// buttons of the standard boxes) in Brazilian Portuguese, as every text the
// user reads. Loads Qt's pt_BR catalogue from Qt's translations folder and
// installs it in the application once; later calls only report. False,
// with the reason in *error, when the catalogue cannot be loaded: the
// texts then stay in English and nothing else changes.
bool installQtTranslations(QString *error = nullptr);

} // namespace prx
