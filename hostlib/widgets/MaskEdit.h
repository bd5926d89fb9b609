#pragma once

#include "services/EditMask.h"

#include <QLineEdit>

namespace prx {

// A line edit that follows an edit mask (">aaaa;0; ", "99:99;0; ",
// "!99:99;1; "). text() is the value to store: without the literals when the
// mask does not keep them, and without trailing blanks; shownText() is what
// the user sees.
//
// Whatever set the mask (setEditMask, or a Qt input mask set directly), what
// is typed lands where the user expects: entering or clicking an empty or
// partly filled mask puts the cursor at the first free position, never past
// it where keys are lost; entering a full mask from the keyboard selects it
// all, so that a whole value typed replaces it. Every masked edit of the
// screens, date edits and grid cells included, is one of these.
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

    // The first position of the input mask still blank; -1 when the mask is
    // full or there is no mask.
    int firstFreePosition() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_maskText;
    EditMask m_mask;
};

} // namespace prx
