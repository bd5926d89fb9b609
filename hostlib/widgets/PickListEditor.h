#pragma once

#include <QComboBox>
#include <QElapsedTimer>

#include <functional>

namespace prx {

// The cell editor of a grid column with a pick list. Opening the list may
// change the value, so the grid is asked first (it puts the row into edit,
// which may be refused); the mouse wheel never changes the value.
//
// A typed letter is a choice, never text: it picks the next entry that
// starts with it, after the one shown and round again (S, S again, ... walks
// through the entries that start with S); letters typed in quick succession
// pick the entry that starts with all of them. Case and accents do not
// matter. F4 and Alt+Down open the list.
class PickListEditor : public QComboBox
{
    Q_OBJECT

public:
    explicit PickListEditor(QWidget *parent = nullptr);

    std::function<bool()> beforeChange;

    void showPopup() override;
    // Picks the entry the typed text chooses; false when none does (the
    // value then stays).
    bool chooseByKey(const QString &typed);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QString m_search;      // the letters typed in quick succession
    QElapsedTimer m_typed; // since the last of them
};

} // namespace prx
