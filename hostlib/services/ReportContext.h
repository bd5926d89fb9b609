#pragma once

#include <QDateTime>
#include <QString>

namespace prx {

// Where the user stood when he asked for a report: the branch, price table
// and period the main screen showed. The screen sets it just before it loads
// a report module, so the module opens on them without reaching into the
// screen's widgets. Any part may be empty (nothing chosen yet).
struct ReportContext
{
    QString branch;
    QString table;
    QDateTime periodStart;

    bool operator==(const ReportContext &) const = default;

    static ReportContext current();
    static void set(const ReportContext &context);
    static void clear() { set({}); }
};

} // namespace prx
