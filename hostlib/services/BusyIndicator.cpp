#include "BusyIndicator.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace prx {

namespace {

constexpr int StepMs = 40;
constexpr int StepDegrees = 24;

QString defaultText(int kind)
{
    return kind == BusyIndicator::LongWork ? QStringLiteral("Processando...")
                                           : QStringLiteral("Aguarde...");
}

} // namespace

BusyIndicator::BusyIndicator(QWidget *host)
    : QWidget(host, host ? Qt::Widget : Qt::ToolTip | Qt::FramelessWindowHint), m_host(host),
      m_cover(host)
{
    setObjectName(QStringLiteral("prxBusyIndicator"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::WaitCursor);
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_timer.setInterval(StepMs);
    connect(&m_timer, &QTimer::timeout, this, &BusyIndicator::step);
    if (m_cover)
        m_cover->installEventFilter(this);
}

BusyIndicator::~BusyIndicator()
{
    if (m_cover)
        m_cover->removeEventFilter(this);
}

void BusyIndicator::start(int kind, const QString &text)
{
    m_requests.append({kind, text});
    updateVisibility();
    if (isVisible())
        repaint(); // show at once, even when the work never returns to the event loop
}

void BusyIndicator::stop()
{
    if (m_requests.isEmpty())
        return;
    m_requests.removeLast();
    updateVisibility();
    if (isVisible())
        update();
}

int BusyIndicator::kind() const
{
    return m_requests.isEmpty() ? 0 : m_requests.last().kind;
}

QString BusyIndicator::text() const
{
    if (m_requests.isEmpty())
        return {};
    const Request &r = m_requests.last();
    return r.text.isEmpty() ? defaultText(r.kind) : r.text;
}

void BusyIndicator::suspend()
{
    ++m_suspended;
    updateVisibility();
}

void BusyIndicator::resume()
{
    if (m_suspended > 0)
        --m_suspended;
    updateVisibility();
}

void BusyIndicator::step()
{
    m_angle = (m_angle + StepDegrees) % 360;
    ++m_steps;
    update();
}

void BusyIndicator::updateVisibility()
{
    const bool wanted = isBusy() && m_suspended == 0;
    if (wanted) {
        attachTo(coverTarget());
        placeOverHost();
        if (!isVisible())
            show();
        raise();
        if (!m_timer.isActive())
            m_timer.start();
        m_blocker.setActive(true);
    } else {
        m_timer.stop();
        hide();
        // Hidden, the veil waits on the main window: a dialog it covered may
        // be deleted and must not take the veil along.
        attachTo(m_host);
        // Last, as dropping the input still queued runs the event loop.
        m_blocker.setActive(false);
    }
}

QWidget *BusyIndicator::coverTarget(const QWidget *leaving) const
{
    // The user waits in front of the topmost modal window: the veil and the
    // animation must be there, not behind it on the main window.
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != leaving && modal->isVisible())
        return modal;
    return m_host;
}

void BusyIndicator::attachTo(QWidget *cover)
{
    if (cover == m_cover && parentWidget() == cover)
        return;
    if (m_cover)
        m_cover->removeEventFilter(this);
    m_cover = cover;
    setParent(cover, cover ? Qt::Widget : Qt::ToolTip | Qt::FramelessWindowHint);
    if (cover)
        cover->installEventFilter(this);
}

QSize BusyIndicator::panelSize() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text());
    return QSize(qMax(140, textWidth + 40), 110);
}

void BusyIndicator::placeOverHost()
{
    if (m_cover) {
        setGeometry(m_cover->rect());
        return;
    }
    const QSize size = panelSize();
    resize(size);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

bool BusyIndicator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_cover || !isVisible())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize:
        placeOverHost();
        break;
    case QEvent::ChildAdded:
        // A control the dialog adds during the work must not cover the veil.
        if (static_cast<QChildEvent *>(event)->child() != this)
            raise();
        break;
    case QEvent::Hide:
        // The dialog closes (or is deleted) while the work goes on: the
        // veil moves to the window now in front, before the dialog can take
        // it along.
        if (m_cover != m_host) {
            attachTo(coverTarget(m_cover));
            placeOverHost();
            show();
            raise();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (parentWidget())
        p.fillRect(rect(), QColor(255, 255, 255, 70)); // the veil: the window stays readable

    const QSize size = panelSize();
    const QRect panel(rect().center() - QPoint(size.width() / 2, size.height() / 2), size);
    QPainterPath box;
    box.addRoundedRect(panel, 10, 10);
    p.fillPath(box, QColor(40, 48, 60, 225));

    const int diameter = 40;
    const QRect ring(panel.center().x() - diameter / 2, panel.top() + 16, diameter, diameter);
    p.setPen(QPen(QColor(255, 255, 255, 50), 5));
    p.drawEllipse(ring);
    p.setPen(QPen(QColor(90, 170, 255), 5, Qt::SolidLine, Qt::RoundCap));
    // Angles in sixteenths of a degree, counter-clockwise; a quarter-turn arc
    // running clockwise reads as progress.
    p.drawArc(ring, -m_angle * 16, 100 * 16);

    p.setPen(Qt::white);
    const QRect textRect(panel.left() + 8, ring.bottom() + 10, panel.width() - 16,
                         panel.bottom() - ring.bottom() - 16);
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text());
}

} // namespace prx
