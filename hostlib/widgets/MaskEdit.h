#pragma once

#include "services/EditMask.h"

#include <QLineEdit>

namespace prx {

// A line edit that follows an edit mask (">aaaa;0; ", "99:99;0; ",
// "!99:99;1; "). text() is the value to store: without the literals when the
// mask does not keep them, and without trailing blanks; shownText() is what
// the user sees.
//
// text() and setText() hide the line edit's own; through a QLineEdit pointer
// the shown text is read.
class MaskEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit MaskEdit(QWidget *parent = nullptr);

    void setEditMask(const QString &mask);
    QString editMask() const { return m_maskText; }

    QString text() const;
    void setText(const QString &stored);
    QString shownText() const { return QLineEdit::displayText(); }
    bool isEmpty() const { return text().trimmed().isEmpty(); }

private:
    QString m_maskText;
    EditMask m_mask;
};

} // namespace prx
