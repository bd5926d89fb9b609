#include "TNumberEdit.h"

#include "dataset/Format.h"
#include "services/UserAction.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

namespace prx {

TNumberEdit::TNumberEdit(QWidget *parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9.]*,?[0-9]*")), this));
    rebuildFormat();
}

void TNumberEdit::rebuildFormat()
{
    QString format = m_thousands ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (m_decimals > 0)
        format += QLatin1Char('.') + QString(m_decimals, QLatin1Char('0'));
    m_format = format;
}

void TNumberEdit::setDecimals(int decimals)
{
    m_decimals = qMax(0, decimals);
    rebuildFormat();
    if (!hasFocus())
        showFormatted();
}

void TNumberEdit::setThousands(bool grouped)
{
    m_thousands = grouped;
    rebuildFormat();
    if (!hasFocus())
        showFormatted();
}

void TNumberEdit::setFormat(const QString &format)
{
    m_format = format;
    if (!hasFocus())
        showFormatted();
}

bool TNumberEdit::parse(double *value) const
{
    // The shown text groups thousands with points; the decimals follow the
    // comma, so the points carry no meaning of their own here.
    QString plain = text().trimmed();
    plain.remove(QLatin1Char('.'));
    if (plain.isEmpty() || plain == QLatin1String("-"))
        return false;
    return parseNumber(plain, value);
}

bool TNumberEdit::hasValue() const
{
    double v = 0;
    return parse(&v);
}

double TNumberEdit::value() const
{
    double v = 0;
    return parse(&v) ? v : 0.0;
}

void TNumberEdit::setValue(double value)
{
    setText(formatNumber(value, hasFocus() ? QStringView() : QStringView(m_format)));
}

void TNumberEdit::CheckNumber()
{
    if (text().trimmed().isEmpty() || hasValue())
        return;
    setFocus();
    MensErro(QStringLiteral("'%1' não é um valor numérico válido.").arg(text()), true);
}

void TNumberEdit::showFormatted()
{
    double v = 0;
    if (parse(&v))
        setText(formatNumber(v, m_format));
}

void TNumberEdit::focusInEvent(QFocusEvent *event)
{
    double v = 0;
    if (parse(&v)) {
        setText(formatNumber(v));
        selectAll();
    }
    QLineEdit::focusInEvent(event);
}

void TNumberEdit::focusOutEvent(QFocusEvent *event)
{
    showFormatted();
    QLineEdit::focusOutEvent(event);
}

void TNumberEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->text() == QLatin1String(".") && !text().contains(QLatin1Char(','))) {
        QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, event->modifiers(), QStringLiteral(","));
        QLineEdit::keyPressEvent(&comma);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace prx
