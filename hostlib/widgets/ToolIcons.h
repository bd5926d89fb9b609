#pragma once

#include <QIcon>

namespace prx {

// The pictures of the toolbar, navigator and search buttons, drawn rather
// than loaded so that every screen looks the same on every machine.
enum class ToolIcon
{
    Include,
    Alter,
    Delete,
    Confirm,
    Cancel,
    Refresh,
    Find,
    Print,
    Automatic,
    Help,
    Close,
    First,
    Prior,
    Next,
    Last,
    Search,
    Calendar,
    Ellipsis,
};

QIcon toolIcon(ToolIcon kind);

} // namespace prx
