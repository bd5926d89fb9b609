#pragma once

#include <QString>

namespace prx {

class Field;

// Validates a date typed into a date field and stores it. The text is
// dd/MM/yyyy as typed or as the date mask leaves it (blanks for the positions
// not typed); a text with nothing typed clears the field. A date that does not
// exist shows "'31/02/2026' não é uma data válida." in the error box and
// abandons the command, leaving the field as it was.
void CheckDateTime(Field &field, const QString &text);

} // namespace prx
