#include "Cli_prx51707.h"

#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"

namespace prx {

namespace Cli_prx51707 {

TfrmCadAutPrecoDeferenciado *frmCadAutPrecoDeferenciado = nullptr;
bool boStCriado = false;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
};
const Unit unit;

} // namespace

void CriaCadAutPrecoDeferenciado()
{
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutPrecoDeferenciado, boStCriado);
}

} // namespace Cli_prx51707

TfrmCadAutPrecoDeferenciado::TfrmCadAutPrecoDeferenciado(QWidget *parent) : TfrmRotiGeral(parent)
{
    Cli_prx51700::mainScreen(); // works on the screen's current period
    setObjectName(QStringLiteral("frmCadAutPrecoDeferenciado"));
    setCaption(QStringLiteral("Cadastro Automático de Preços Diferenciados"));
    setScreenCode(QStringLiteral("PRX51707"));
}

TfrmCadAutPrecoDeferenciado::~TfrmCadAutPrecoDeferenciado()
{
    package::forgetBuiltOnce(this, Cli_prx51707::frmCadAutPrecoDeferenciado, Cli_prx51707::boStCriado);
}

void TfrmCadAutPrecoDeferenciado::FormClose()
{
    TfrmRotiGeral::FormClose();
    Cli_prx51707::boStCriado = false;
}

} // namespace prx
