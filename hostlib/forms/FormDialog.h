#pragma once

#include <QDialog>

namespace prx {

// The life of the host's modal dialogs: creation once the dialog is built,
// activation, a close that the dialog may refuse, and freeing on close (the
// creators that build a dialog once rely on it being gone after a close).
// Every handler runs inside the user-action guard.
class FormDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FormDialog(QWidget *parent = nullptr);

    // Runs FormCreate; a failure reaches the caller. Without this call
    // FormCreate runs when the dialog is first shown.
    void initialize();
    bool isInitialized() const { return m_created; }

    virtual void FormCreate();
    virtual void FormActivate();
    virtual void FormClose(); // a failure keeps the dialog open
    virtual void FormDestroy();
    // Every key typed in the dialog, before its control gets it; 0 drops it.
    virtual void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers);

    void done(int result) override;
    // Freed after the modal show returns, not inside it, so that the caller
    // may still set the dialog's window state once it is closed.
    int exec() override;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void destroying();

    bool m_created = false;
    bool m_active = false;
    bool m_destroyed = false;
};

} // namespace prx
