#pragma once

#include "InputBlocker.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace prx {

// The host's busy animation: a veil over the main window with a spinning arc
// and, for long work, a line of text. It is driven by a timer, so it keeps
// turning while a server call waits in its local event loop. Requests nest:
// each start() needs its stop(), the innermost text is shown, and the veil
// goes away when the last one stops. Work started from a modal dialog is
// waited for in front of that dialog, so the veil covers the dialog then,
// not the main window behind it. While the veil is up, mouse and keyboard
// input is dropped (see InputBlocker).
class BusyIndicator : public QWidget
{
    Q_OBJECT

public:
    // Kinds as the screens pass them: 6 a short wait, 1 a long operation.
    static constexpr int ShortWait = 6;
    static constexpr int LongWork = 1;

    // Covers `host` (or the modal dialog open over it) and follows its size;
    // without a host, and no dialog, it is a small window of its own in the
    // middle of the screen.
    explicit BusyIndicator(QWidget *host = nullptr);
    ~BusyIndicator() override;

    void start(int kind, const QString &text = {});
    void stop(); // one more stop than starts does nothing
    int depth() const { return int(m_requests.size()); }
    bool isBusy() const { return !m_requests.isEmpty(); }
    int kind() const;
    QString text() const; // the text shown now
    // The window the veil covers now: the host or the modal dialog.
    QWidget *covered() const { return m_cover; }
    const InputBlocker &inputBlocker() const { return m_blocker; }

    // A modal box raised during the work hides the veil until it closes.
    void suspend();
    void resume();

    // Animation steps taken and frames painted since construction; lets a
    // test see that the animation runs while an event loop waits.
    qint64 steps() const { return m_steps; }
    qint64 paints() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Request
    {
        int kind;
        QString text;
    };
    void step();
    void updateVisibility();
    void placeOverHost();
    QWidget *coverTarget(const QWidget *leaving = nullptr) const;
    void attachTo(QWidget *cover);
    QSize panelSize() const;

    QPointer<QWidget> m_host;  // not owned
    QPointer<QWidget> m_cover; // not owned: the host or the modal dialog, our parent
    InputBlocker m_blocker;
    QTimer m_timer;
    QList<Request> m_requests;
    int m_angle = 0;
    int m_suspended = 0;
    qint64 m_steps = 0;
    qint64 m_paints = 0;
};

} // namespace prx
