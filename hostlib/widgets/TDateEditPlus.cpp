#include "TDateEditPlus.h"

#include "TButtonFlat.h"
#include "ToolIcons.h"

#include "dataset/FieldDef.h"
#include "services/UserAction.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>

namespace prx {

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
const QString dateTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm");
} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent) : QWidget(parent)
{
    m_edit = new MaskEdit(this);
    m_edit->setObjectName(QStringLiteral("edtData"));
    m_edit->setInputMask(QStringLiteral("99/99/9999;_"));
    m_edit->setText(QString());
    m_button = new TButtonFlat(this);
    m_button->setObjectName(QStringLiteral("btnCalendario"));
    m_button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_button->setIcon(toolIcon(ToolIcon::Calendar));
    m_button->setIconSize(QSize(16, 16));
    m_button->setToolTip(QStringLiteral("Calendário"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    setFocusProxy(m_edit);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 40);

    connect(m_button, &QToolButton::clicked, this, &TDateEditPlus::showCalendar);
    connect(m_edit, &QLineEdit::textChanged, this, [this] {
        const QDate now = date();
        if (now != m_lastDate) {
            m_lastDate = now;
            emit dateChanged(now);
        }
    });
    connect(m_edit, &QLineEdit::editingFinished, this, &TDateEditPlus::editingFinished);
}

// The edit outlives this part of the object: losing the focus while the
// window goes away, it would still signal a date edit that is no more.
TDateEditPlus::~TDateEditPlus()
{
    m_edit->disconnect(this);
}

QString TDateEditPlus::format() const
{
    return m_withTime ? dateTimeFormat : dateFormat;
}

QString TDateEditPlus::text() const
{
    return isEmpty() ? QString() : m_edit->displayText();
}

bool TDateEditPlus::isEmpty() const
{
    QString digits = m_edit->displayText();
    digits.remove(QLatin1Char('/'))
        .remove(QLatin1Char('_'))
        .remove(QLatin1Char(' '))
        .remove(QLatin1Char(':'));
    return digits.isEmpty();
}

QDate TDateEditPlus::date() const
{
    return dateTime().date();
}

QDateTime TDateEditPlus::dateTime() const
{
    if (isEmpty())
        return {};
    // Date and time read apart, as written: no time zone or daylight-saving
    // gap moves a wall-clock moment.
    const QString shown = m_edit->displayText();
    const QDate day = QDate::fromString(shown.left(dateFormat.size()), dateFormat);
    const QTime time =
        m_withTime ? QTime::fromString(shown.mid(dateFormat.size() + 1), QStringLiteral("HH:mm"))
                   : QTime(0, 0);
    return day.isValid() && time.isValid() ? wallClock(day, time) : QDateTime();
}

void TDateEditPlus::setDate(const QDate &date)
{
    setDateTime(date.isValid() ? QDateTime(date, QTime(0, 0)) : QDateTime());
}

void TDateEditPlus::setDateTime(const QDateTime &dateTime)
{
    m_edit->setText(dateTime.isValid() ? dateTime.toString(format()) : QString());
}

void TDateEditPlus::setTimeShown(bool shown)
{
    if (shown == m_withTime)
        return;
    const QDateTime kept = dateTime();
    m_withTime = shown;
    m_edit->setInputMask(shown ? QStringLiteral("99/99/9999 99:99;_")
                               : QStringLiteral("99/99/9999;_"));
    setMinimumWidth(fontMetrics().horizontalAdvance(shown ? QStringLiteral("00/00/0000 00:000")
                                                          : QStringLiteral("00/00/00000")) +
                    40);
    setDateTime(kept);
}

void TDateEditPlus::CheckValidDate(bool required)
{
    if (isEmpty() && !required)
        return;
    if (!isEmpty() && dateTime().isValid())
        return;
    m_edit->setFocus();
    if (isEmpty())
        MensErro(m_withTime ? QStringLiteral("Informe a data e a hora.")
                            : QStringLiteral("Informe a data."),
                 true);
    MensErro(QStringLiteral("'%1' não é uma data válida.").arg(m_edit->displayText()), true);
}

void TDateEditPlus::setReadOnly(bool readOnly)
{
    m_edit->setReadOnly(readOnly);
    m_button->setEnabled(!readOnly);
}

bool TDateEditPlus::isReadOnly() const
{
    return m_edit->isReadOnly();
}

void TDateEditPlus::showCalendar()
{
    if (m_edit->isReadOnly())
        return;
    if (!m_calendar) {
        m_calendar = new QCalendarWidget(this);
        m_calendar->setWindowFlags(Qt::Popup);
        m_calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        m_calendar->setGridVisible(true);
        m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        connect(m_calendar, &QCalendarWidget::activated, this, [this](const QDate &chosen) {
            // The day comes from the calendar; an hour already typed stays.
            const QDateTime typed = dateTime();
            setDateTime(QDateTime(chosen, typed.isValid() ? typed.time() : QTime(0, 0)));
            m_calendar->hide();
            m_edit->setFocus();
            emit editingFinished();
        });
        connect(m_calendar, &QCalendarWidget::clicked, m_calendar, &QCalendarWidget::activated);
    }
    const QDate current = date();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_calendar->adjustSize();
    m_calendar->move(mapToGlobal(QPoint(0, height())));
    m_calendar->show();
    m_calendar->setFocus();
}

} // namespace prx
