#pragma once

#include <QObject>

class QLineEdit;

namespace prx {

// Keeps a branch code edit to the characters a code can hold: digits,
// capital letters and "Ç", with Backspace to correct. Every other typed
// character (small letters included) is dropped; keys that type nothing
// (moving, Tab, Enter) go through.
class BranchKeyFilter : public QObject
{
    Q_OBJECT

public:
    BranchKeyFilter(QLineEdit *edit, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace prx
