#pragma once

#include <QByteArray>
#include <QString>

namespace prx::sheet {

// Writes the bytes to `path` through a temporary file in the same folder that
// replaces the old file only once everything is written, so a failed export
// never leaves half a spreadsheet behind. False with the reason, in the
// user's words ("a pasta ... não existe"), when the file cannot be written.
bool saveSheetFile(const QString &path, const QByteArray &bytes, QString *error);

} // namespace prx::sheet
