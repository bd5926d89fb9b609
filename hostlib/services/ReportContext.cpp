#include "ReportContext.h"

namespace prx {

namespace {

// One user-interface thread sets and reads it, so no lock.
ReportContext &stored()
{
    static ReportContext context;
    return context;
}

} // namespace

ReportContext ReportContext::current()
{
    return stored();
}

void ReportContext::set(const ReportContext &context)
{
    stored() = context;
}

} // namespace prx
