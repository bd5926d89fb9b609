#include "GuiHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

namespace prx::test {

QWidget *waitForModal(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (QWidget *modal = QApplication::activeModalWidget())
            return modal;
        QTest::qWait(20);
    }
    return QApplication::activeModalWidget();
}

void onNextModal(const std::function<void(QWidget *)> &action, int timeoutMs)
{
    // Polls from the event loop the modal window runs, since the caller is
    // blocked in it.
    auto *poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(timeoutMs);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action, deadline] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && !deadline->hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (modal)
            action(modal);
    });
    poll->start();
}

bool grabScreenshot(QWidget *widget, const QString &fileName, QString *savedPath)
{
    if (!widget)
        return false;
    QString path = fileName;
    if (QFileInfo(fileName).isRelative()) {
        const QString dir = qEnvironmentVariable("PRX_SCREENSHOT_DIR", QDir::tempPath());
        QDir().mkpath(dir);
        path = QDir(dir).filePath(fileName);
    }
    const QPixmap shot = widget->grab();
    if (shot.isNull() || !shot.save(path, "PNG"))
        return false;
    if (savedPath)
        *savedPath = path;
    return true;
}

} // namespace prx::test
