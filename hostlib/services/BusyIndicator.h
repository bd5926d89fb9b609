#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

namespace prx {

// The host's busy animation: a veil over the main window with a spinning arc
// and, for long work, a line of text. It is driven by a timer, so it keeps
// turning while a server call waits in its local event loop. Requests nest:
// each start() needs its stop(), the innermost text is shown, and the veil
// goes away when the last one stops.
class BusyIndicator : public QWidget
{
    Q_OBJECT

public:
    // Kinds as the screens pass them: 6 a short wait, 1 a long operation.
    static constexpr int ShortWait = 6;
    static constexpr int LongWork = 1;

    // Covers `host` and follows its size; without a host it is a small window
    // of its own in the middle of the screen.
    explicit BusyIndicator(QWidget *host = nullptr);
    ~BusyIndicator() override;

    void start(int kind, const QString &text = {});
    void stop(); // one more stop than starts does nothing
    int depth() const { return int(m_requests.size()); }
    bool isBusy() const { return !m_requests.isEmpty(); }
    int kind() const;
    QString text() const; // the text shown now

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
    QSize panelSize() const;

    QWidget *m_host; // not owned
    QTimer m_timer;
    QList<Request> m_requests;
    int m_angle = 0;
    int m_suspended = 0;
    qint64 m_steps = 0;
    qint64 m_paints = 0;
};

} // namespace prx
