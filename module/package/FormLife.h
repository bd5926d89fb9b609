#pragma once

#include "forms/FormDialog.h"

#include <memory>

class QWidget;

// How the creators build and show the module's dialogs.
namespace prx::package {

// The parent of the module's dialogs: the host's main window, when there is one.
QWidget *dialogParent();

// Builds a dialog and runs its creation handler. A failure on the way frees
// what was built and reaches the caller, so that no half-built dialog is
// ever kept.
template <class Form> Form *buildDialog()
{
    std::unique_ptr<Form> form(new Form(dialogParent()));
    form->initialize();
    return form.release();
}

// Modal show with the normal cursor, whatever cursor the creator shows.
void execModal(FormDialog *form);
// Modal show; the window state is set back to normal once the dialog closed,
// while it still exists.
void showModalThenNormal(FormDialog *form);
// Window state normal first, then the modal show.
void normalThenShowModal(FormDialog *form);

// The dialogs built once: built while their unit's flag is false (which is
// then set), and shown modal again on every call.
template <class Form> void showBuiltOnce(Form *&instance, bool &built)
{
    if (!built) {
        instance = buildDialog<Form>();
        built = true;
    }
    showModalThenNormal(instance);
}

// A dialog built once that is being freed clears its unit's instance and flag,
// so the next call builds a fresh one.
template <class Form> void forgetBuiltOnce(const Form *self, Form *&instance, bool &built)
{
    if (instance == self) {
        instance = nullptr;
        built = false;
    }
}

} // namespace prx::package
