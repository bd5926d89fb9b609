#pragma once

#include <exception>

namespace prx {

// The silent abort: thrown by any step that refuses the user's command after
// it has said why (or when nothing needs saying). The guard around every user
// action swallows it without a message; a dataset event that throws it leaves
// the dataset as it was before the operation.
class Abort : public std::exception
{
public:
    const char *what() const noexcept override { return "operation aborted"; }
};

[[noreturn]] inline void abortSilently()
{
    throw Abort();
}

} // namespace prx
