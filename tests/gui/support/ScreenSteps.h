#pragma once

#include <QString>

namespace prx {
class TfrmTabePreco;
}

namespace prx::test {

// The steps every test of the price table screen starts with, taken as the
// host and the user take them.

// The host's branch, not bound to it, as the screen finds it when opened.
void setHostBranch(const QString &code = QStringLiteral("0001"),
                   const QString &name = QStringLiteral("Restaurante Centro"));
// Opens the screen through its creator and waits until it is active; null
// when it does not come up.
TfrmTabePreco *openPriceTableScreen();
// Types a branch code over the one shown and leaves the branch with Tab;
// false when the code cannot take the focus.
bool chooseBranch(TfrmTabePreco *form, const QString &typed);
// Opens the screen and leaves the branch panel on the branch, into the grid
// of its tables; null when any step fails.
TfrmTabePreco *openOnBranch(const QString &branch = QStringLiteral("0001"));

} // namespace prx::test
