#pragma once

#include "HostUi.h"

#include <QPointer>

namespace prx {

class BusyIndicator;

// The host's real dialogs: Portuguese message boxes, the error box, the
// search windows and the busy animation over the main window. install()
// makes it the HostUi every screen talks to and routes server errors to the
// error box.
class DialogHostUi : public HostUi
{
public:
    explicit DialogHostUi(QWidget *mainWindow = nullptr);
    ~DialogHostUi() override; // uninstalls itself when installed

    void install();
    void setMainWindow(QWidget *mainWindow);

    int messageBox(const QString &text, MsgKind kind, const QList<int> &buttons) override;
    void errorBox(const QString &text) override;
    bool pesquisar(DataSource &source, const QString &title) override;
    bool pesquisaLista(DataSource &source, const QString &keyField, const QString &title,
                       QString *list) override;
    void procura(ClientDataSet &dataSet) override;
    void busyOn(int kind, const QString &text) override;
    void busyOff() override;
    QWidget *mainWindow() const override { return m_mainWindow; }
    void printPreview(const QString &title, const PagePainter &paint) override;

    BusyIndicator *busyIndicator();
    int busyDepth() const;

    // The texts and titles the boxes use.
    static QString buttonText(int button);
    static QString titleFor(MsgKind kind);

private:
    QWidget *dialogParent() const;
    BusyIndicator *busy();

    QPointer<QWidget> m_mainWindow;
    // Owned: a child of the main window, which may take it down first.
    QPointer<BusyIndicator> m_busy;
    bool m_installed = false;
};

} // namespace prx
