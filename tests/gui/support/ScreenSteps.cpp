#include "ScreenSteps.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"

#include <QTest>

namespace prx::test {

void setHostBranch(const QString &code, const QString &name)
{
    HostState &state = HostState::instance();
    state.branchCode = code;
    state.branchName = name;
    state.boundToBranch = false;
}

TfrmTabePreco *openPriceTableScreen()
{
    Cli_prx51700::CriaTabePreco();
    TfrmTabePreco *form = Cli_prx51700::frmTabePreco;
    if (!form || !QTest::qWaitForWindowActive(form))
        return nullptr;
    return form;
}

bool chooseBranch(TfrmTabePreco *form, const QString &typed)
{
    form->medCdFilial->setFocus();
    if (!QTest::qWaitFor([&] { return form->medCdFilial->hasFocus(); }))
        return false;
    form->medCdFilial->selectAll();
    QTest::keyClick(form->medCdFilial, Qt::Key_Backspace);
    QTest::keyClicks(form->medCdFilial, typed);
    QTest::keyClick(form->medCdFilial, Qt::Key_Tab);
    return true;
}

TfrmTabePreco *openOnBranch(const QString &branch)
{
    TfrmTabePreco *form = openPriceTableScreen();
    if (!form || !chooseBranch(form, branch) ||
        !QTest::qWaitFor([&] { return form->dbgPadrao->hasFocus(); }))
        return nullptr;
    return form;
}

} // namespace prx::test
