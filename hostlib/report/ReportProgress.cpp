#include "ReportProgress.h"

namespace prx::report {

ReportProgress::ReportProgress(QWidget *parent, const QString &title, const QString &pageText)
    : m_dialog(new QProgressDialog(parent)), m_pageText(pageText)
{
    m_dialog->setObjectName(QStringLiteral("prgRelatorio"));
    m_dialog->setWindowTitle(title);
    m_dialog->setCancelButtonText(QStringLiteral("Cancelar"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

ReportProgress::~ReportProgress()
{
    delete m_dialog.data();
}

PagedTableReport::Progress ReportProgress::callback()
{
    return [this](int done, int count) {
        if (!m_dialog)
            return !m_cancelled;
        if (m_dialog->maximum() != count)
            m_dialog->setMaximum(count);
        m_dialog->setLabelText(m_pageText.arg(done).arg(count));
        m_dialog->setValue(done); // answers the user's clicks once shown
        m_cancelled = m_cancelled || m_dialog->wasCanceled();
        if (done >= count) {
            // Every page is drawn: the preview or the file takes over, and a
            // later drawing (a preview zoomed or set up again) starts anew.
            m_dialog->hide();
            m_dialog->reset();
        }
        return !m_cancelled;
    };
}

} // namespace prx::report
