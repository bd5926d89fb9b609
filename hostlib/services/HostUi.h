#pragma once

#include <QList>
#include <QString>

#include <functional>

class QPagedPaintDevice;
class QWidget;

namespace prx {

class ClientDataSet;
class DataSource;

enum class MsgKind { Information, Warning, Error, Confirmation };

// Buttons of a message box; the numbers are the answers the callers compare
// with (yes is 6).
enum MsgButton { MsgOk = 1, MsgCancel = 2, MsgYes = 6, MsgNo = 7 };

// Everything that asks the user something or shows him something modal goes
// through this interface: the host implements it with real dialogs, the tests
// with a script that records what was shown and answers from a queue.
class HostUi
{
public:
    virtual ~HostUi() = default;

    // A modal message box; returns the button pressed.
    virtual int messageBox(const QString &text, MsgKind kind, const QList<int> &buttons) = 0;
    // The error box of MensErro.
    virtual void errorBox(const QString &text) = 0;

    // Search window for one choice over the rows of the source's dataset;
    // true when the user chose a row, which is then the current one. The title
    // may hold "title|message when empty".
    virtual bool pesquisar(DataSource &source, const QString &title) = 0;
    // Multiple choice; writes the chosen keys of keyField into *list.
    virtual bool pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                               QString *list) = 0;
    // Find-in-dataset window: moves the dataset to the row the user found.
    virtual void procura(ClientDataSet &dataSet) = 0;

    // Busy indicator over the main window (kinds 6 and 1; 1 may carry a text).
    virtual void busyOn(int kind, const QString &text) = 0;
    virtual void busyOff() = 0;

    // The application's main window (parent of dialogs); may be null in tests.
    virtual QWidget *mainWindow() const = 0;

    // The print preview of a report: `paint` draws every page on the device
    // it is given (the preview's printer; a PDF writer in tests). Without a
    // host nothing is shown.
    using PagePainter = std::function<void(QPagedPaintDevice &device)>;
    virtual void printPreview(const QString &title, const PagePainter &paint);

    static HostUi &instance();
    static void install(HostUi *ui); // not owned; nullptr puts the default back
};

} // namespace prx
