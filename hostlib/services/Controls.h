#pragma once

#include <QStringList>

class QWidget;

namespace prx {

// Enables or disables every control inside the container. Plain containers
// (panels, frames, group boxes, splitters, stacked pages, tab pages, scroll
// areas) are looked into and stay enabled themselves, so that enabling the
// container again brings back exactly its controls; the inner parts of a
// control (a spin box's editor, a view's scroll bars) are left to the control.
void SetChildEnabled(QWidget *container, bool enabled);

// Moves the focus to the first control of the container's tab order that can
// take it (visible, enabled, accepting the tab key). False when there is none.
bool SelectFirstControl(QWidget *container);

// Moves the focus from `current` to the next (or previous) control of its
// window's tab order that can take it. False when there is none.
bool SelectNextControl(QWidget *current, bool forward = true);

// The host's translation of a form. The texts of every form are written in
// Portuguese already, so nothing is replaced; what the translation needs is a
// stable name for each text-bearing control (label, button, group box), and
// that is checked here. Returns one line per control without a name or with a
// name used twice in the form, and logs them; an empty list means the form is
// fit for translation.
QStringList Trad(QWidget *form);

} // namespace prx
