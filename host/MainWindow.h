#pragma once

#include <QMainWindow>

class QLabel;
class QMdiArea;

namespace prx {

class HostConfig;

// The host's main window: a workspace of child windows where the modules
// show their screens, and the menu that opens them.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opens the host's database and reads the branch's name; problems are
    // shown, never fatal: the screens still open and say what they miss.
    void startUp(const HostConfig &config);

    // Opens a screen by its code ("PRX51700"); false when it could not.
    bool openScreen(const QString &screenCode);

    // The module that holds a screen, or an empty text for an unknown code.
    static QString moduleOfScreen(const QString &screenCode);

    QMdiArea *workspace() const { return m_mdi; }

    // Shows the window where the user left it, or maximised the first time:
    // the screens need the room.
    void showAtStart();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *showChild(QWidget *form);
    void readBranchName();
    void updateStatus();

    QMdiArea *m_mdi;      // owned (central widget)
    QLabel *m_statusText; // owned (status bar)
    QString m_database;
};

} // namespace prx
