#include "MaskEdit.h"

#include <QFocusEvent>
#include <QMouseEvent>

namespace prx {

namespace {

// Which positions of a Qt input mask take a typed character (the others are
// literals), and the blank that stands for an empty one.
struct MaskLayout
{
    QList<bool> input;
    QChar blank = QLatin1Char(' ');
};

MaskLayout layoutOf(const QString &inputMask)
{
    MaskLayout out;
    const qsizetype end = inputMask.lastIndexOf(QLatin1Char(';'));
    const QString pattern = end >= 0 ? inputMask.left(end) : inputMask;
    if (end >= 0 && end + 1 < inputMask.size())
        out.blank = inputMask.at(end + 1);
    static const QString inputChars = QStringLiteral("AaNnXx9D0dHhBb#");
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('!') ||
            c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('{') ||
            c == QLatin1Char('}'))
            continue;
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            ++i;
            out.input.append(false);
            continue;
        }
        out.input.append(inputChars.contains(c));
    }
    return out;
}

} // namespace

MaskEdit::MaskEdit(QWidget *parent) : QLineEdit(parent) {}

void MaskEdit::setEditMask(const QString &mask)
{
    const QString stored = text();
    m_maskText = mask;
    m_mask = EditMask(mask);
    setInputMask(m_mask.qtInputMask());
    setText(stored);
}

QString MaskEdit::text() const
{
    if (m_mask.isEmpty())
        return QLineEdit::text();
    return m_mask.storedFromEdit(QLineEdit::displayText());
}

void MaskEdit::setText(const QString &stored)
{
    QLineEdit::setText(m_mask.isEmpty() ? stored : m_mask.editFromStored(stored));
}

int MaskEdit::firstFreePosition() const
{
    if (inputMask().isEmpty())
        return -1;
    const MaskLayout layout = layoutOf(inputMask());
    const QString shown = displayText();
    for (qsizetype i = 0; i < layout.input.size() && i < shown.size(); ++i) {
        if (layout.input.at(i) && shown.at(i) == layout.blank)
            return int(i);
    }
    return -1;
}

void MaskEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (inputMask().isEmpty() || event->reason() == Qt::MouseFocusReason || hasSelectedText())
        return; // a click places the cursor itself; a selection is typed over
    const int free = firstFreePosition();
    if (free >= 0) {
        // Past the first free position every key would be lost.
        if (cursorPosition() > free)
            setCursorPosition(free);
        return;
    }
    // A full mask has no room for a key: typed from the keyboard, a value
    // replaces the one shown. Coming back to the window keeps the cursor,
    // unless it rests at the end, where nothing can be typed.
    const bool back =
        event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
    if (!back || cursorPosition() >= displayText().size())
        selectAll();
}

void MaskEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    if (inputMask().isEmpty() || event->button() != Qt::LeftButton || hasSelectedText())
        return;
    const int free = firstFreePosition();
    if (free >= 0 && cursorPosition() > free)
        setCursorPosition(free);
}

} // namespace prx
