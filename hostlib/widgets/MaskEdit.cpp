#include "MaskEdit.h"

namespace prx {

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

} // namespace prx
