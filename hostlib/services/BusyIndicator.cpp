#include "BusyIndicator.h"

#include <QEvent>
#include <QGuiApplication>
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
    : QWidget(host, host ? Qt::Widget : Qt::ToolTip | Qt::FramelessWindowHint), m_host(host)
{
    setObjectName(QStringLiteral("prxBusyIndicator"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setCursor(Qt::WaitCursor);
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_timer.setInterval(StepMs);
    connect(&m_timer, &QTimer::timeout, this, &BusyIndicator::step);
    if (m_host)
        m_host->installEventFilter(this);
}

BusyIndicator::~BusyIndicator()
{
    if (m_host)
        m_host->removeEventFilter(this);
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
        placeOverHost();
        if (!isVisible()) {
            show();
            raise();
        }
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
        hide();
    }
}

QSize BusyIndicator::panelSize() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text());
    return QSize(qMax(140, textWidth + 40), 110);
}

void BusyIndicator::placeOverHost()
{
    if (m_host) {
        setGeometry(m_host->rect());
        return;
    }
    const QSize size = panelSize();
    resize(size);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

bool BusyIndicator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize && isVisible())
        placeOverHost();
    return QWidget::eventFilter(watched, event);
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_host)
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
