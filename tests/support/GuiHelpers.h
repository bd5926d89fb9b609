#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTest>
#include <QWidget>

#include <functional>

namespace prx::test {

// Waits, processing events, until a widget of type T with this object name
// exists (among the children of `parent`, or anywhere when parent is null)
// and is visible. Null when the timeout passes first.
template <typename T = QWidget>
T *waitForWidget(const QString &objectName, QWidget *parent = nullptr, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QList<QWidget *> roots =
            parent ? QList<QWidget *>{parent} : QApplication::topLevelWidgets();
        for (QWidget *root : roots) {
            T *found = nullptr;
            if (root->objectName() == objectName)
                found = qobject_cast<T *>(root);
            if (!found)
                found = root->findChild<T *>(objectName);
            if (found && found->isVisible())
                return found;
        }
        if (deadline.hasExpired())
            return nullptr;
        QTest::qWait(20);
    }
}

// Waits until a modal window is up and returns it; null on timeout.
QWidget *waitForModal(int timeoutMs = 5000);

// Runs `action` on the next modal window as soon as it opens (for a modal
// dialog started by the code under test). The action gets the window.
void onNextModal(const std::function<void(QWidget *)> &action, int timeoutMs = 5000);

// Saves a picture of the widget (with its children) to a PNG file; false
// when it cannot be written. Without a folder, the file goes to
// $PRX_SCREENSHOT_DIR or the temporary folder.
bool grabScreenshot(QWidget *widget, const QString &fileName, QString *savedPath = nullptr);

} // namespace prx::test
