#include "PickListEditor.h"

#include <QWheelEvent>

namespace prx {

PickListEditor::PickListEditor(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setFrame(false);
    setMaxVisibleItems(12);
}

void PickListEditor::showPopup()
{
    if (beforeChange && !beforeChange())
        return;
    QComboBox::showPopup();
}

void PickListEditor::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

} // namespace prx
