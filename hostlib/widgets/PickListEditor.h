#pragma once

#include <QComboBox>

#include <functional>

namespace prx {

// The cell editor of a grid column with a pick list. Opening the list may
// change the value, so the grid is asked first (it puts the row into edit,
// which may be refused); the mouse wheel never changes the value.
class PickListEditor : public QComboBox
{
    Q_OBJECT

public:
    explicit PickListEditor(QWidget *parent = nullptr);

    std::function<bool()> beforeChange;

    void showPopup() override;

protected:
    void wheelEvent(QWheelEvent *event) override;
};

} // namespace prx
