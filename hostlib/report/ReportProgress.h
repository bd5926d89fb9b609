#pragma once

#include "PagedTableReport.h"

#include <QPointer>
#include <QProgressDialog>

namespace prx::report {

// The progress of a long report with its "Cancelar" button: shown once the
// drawing takes a moment, it keeps the program answering while the pages are
// drawn and tells the report to stop when the user cancels.
class ReportProgress
{
public:
    ReportProgress(QWidget *parent, const QString &title, const QString &pageText);
    ~ReportProgress();
    ReportProgress(const ReportProgress &) = delete;
    ReportProgress &operator=(const ReportProgress &) = delete;

    PagedTableReport::Progress callback();
    bool wasCancelled() const { return m_cancelled; }

private:
    QPointer<QProgressDialog> m_dialog; // owned
    QString m_pageText;                 // "%1 of %2"
    bool m_cancelled = false;
};

} // namespace prx::report
