#include "QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace prx {

bool installQtTranslations(QString *error)
{
    static QTranslator *installed = nullptr;
    if (installed)
        return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // The catalogue of the Qt modules the host uses (Widgets, PrintSupport
    // and the standard dialogs all take their texts from qtbase); always
    // pt_BR, whatever language the machine is set to.
    const QString catalogue = QStringLiteral("qtbase_pt_BR");
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(catalogue, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        if (error) {
            *error = QStringLiteral("Os textos do Qt ficam em inglês: a tradução %1.qm não foi "
                                    "encontrada em %2 (pacote qt6-translations-l10n).")
                         .arg(catalogue, QDir::toNativeSeparators(folder));
        }
        return false;
    }
    installed = translator;
    return true;
}

} // namespace prx
