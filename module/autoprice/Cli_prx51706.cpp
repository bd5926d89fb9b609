#include "Cli_prx51706.h"

#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"

namespace prx {

namespace Cli_prx51706 {

TfrmCadAutPromocao *frmCadAutPromocao = nullptr;
bool boStCriado = false;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
};
const Unit unit;

} // namespace

void CriaCadAutPromocao()
{
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutPromocao, boStCriado);
}

} // namespace Cli_prx51706

TfrmCadAutPromocao::TfrmCadAutPromocao(QWidget *parent) : TfrmRotiGeral(parent)
{
    Cli_prx51700::mainScreen(); // works on the screen's current period
    setObjectName(QStringLiteral("frmCadAutPromocao"));
    setCaption(QStringLiteral("Alteração Automática"));
    setScreenCode(QStringLiteral("PRX51706"));
}

TfrmCadAutPromocao::~TfrmCadAutPromocao()
{
    package::forgetBuiltOnce(this, Cli_prx51706::frmCadAutPromocao, Cli_prx51706::boStCriado);
}

void TfrmCadAutPromocao::FormClose()
{
    TfrmRotiGeral::FormClose();
    Cli_prx51706::boStCriado = false;
}

} // namespace prx
