#pragma once

class QWidget;

namespace prx {

// True when `widget` is `owner` or lies inside it. A pop-up (the list of a
// combo box, a calendar) counts as part of the control that opened it; any
// other window (a message box, a dialog) does not.
bool widgetBelongsTo(const QWidget *widget, const QWidget *owner);

// The form a widget lives in: its window, or the content of the child window
// of the host's work area that holds it.
QWidget *formOf(QWidget *widget);

} // namespace prx
