#pragma once

#include <QObject>
#include <QSet>

namespace prx {

// Drops what the user does with mouse and keyboard while the host is busy.
// The local loop a server call waits in only holds such input back, and
// work that never returns to the event loop leaves it queued: delivered
// afterwards, a click on a tab or a menu made during a reload would act
// on a screen that has changed since. While active, an application-wide
// filter swallows every input event the window system delivers, shortcuts
// included; switching it off first drains what is still queued through the
// filter, so nothing of the busy time is replayed. Events the program sends
// to itself (not spontaneous) pass untouched.
class InputBlocker : public QObject
{
    Q_OBJECT

public:
    explicit InputBlocker(QObject *parent = nullptr);
    ~InputBlocker() override; // removes the filter, without draining

    void setActive(bool active);
    bool isActive() const { return m_installed; }
    // Input events dropped since construction; lets a test tell a dropped
    // click from one that never came.
    int dropped() const { return m_dropped; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool drop(QEvent *event);

    bool m_installed = false;
    bool m_wanted = false;
    bool m_draining = false;
    int m_dropped = 0;
    // A release is dropped only when its press was, so that a button held
    // down before the busy time still sees its release.
    int m_droppedButtons = 0;
    QSet<int> m_droppedKeys;
};

} // namespace prx
