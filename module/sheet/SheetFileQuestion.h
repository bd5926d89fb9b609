#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace prx {

// Asks the user for the spreadsheet to write (`save`) or to read, starting
// from `suggested`; empty when he gives up. The host shows the system's file
// dialog; a test puts its own answer in its place.
class SheetFileQuestion
{
public:
    using Answer = std::function<QString(bool save, const QString &suggested)>;

    static QString ask(QWidget *parent, bool save, const QString &suggested);
    // Replaces the file dialog (nullptr puts it back).
    static void setAnswer(Answer answer);
};

} // namespace prx
