#include "sheet/SheetFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace prx::sheet {

namespace {

// The system's own text of a failed write is in English; the cases a user can
// mend are told in Portuguese, the rest keep the system's text after it.
QString failureReason(const QString &path, const QSaveFile &file)
{
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (target.isDir())
        return QStringLiteral("já existe uma pasta com esse nome");
    if (!folder.exists())
        return QStringLiteral("a pasta %1 não existe").arg(folder.filePath());
    if (!folder.isDir())
        return QStringLiteral("%1 não é uma pasta").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("sem permissão de gravação na pasta %1").arg(folder.filePath());
    if (target.exists() && !target.isWritable())
        return QStringLiteral("o arquivo existente está protegido contra gravação");
    return QStringLiteral("erro do sistema (%1)").arg(file.errorString());
}

} // namespace

bool saveSheetFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = QStringLiteral("Não foi possível gravar o arquivo %1: %2.")
                 .arg(path, failureReason(path, file));
    return false;
}

} // namespace prx::sheet
