#pragma once

namespace prx {

// The hourglass while a creator builds and shows a form; the default cursor
// comes back when the creator ends, also when building failed.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace prx
