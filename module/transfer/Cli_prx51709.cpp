#include "Cli_prx51709.h"

#include "Cli_prx51710.h"

#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"

namespace prx {

namespace Cli_prx51709 {

TfrmCopiaPreco *frmCopiaPreco = nullptr;
bool boCriado = false;
QString stTabPrec;
QString stCdProdOrigem;
QString stProdDest;
QDateTime dtVigIni;
QDateTime dtVigFin;

namespace {

struct Unit
{
    Unit() { boCriado = false; }
    ~Unit()
    {
        stProdDest.clear();
        stCdProdOrigem.clear();
        stTabPrec.clear();
    }
};
const Unit unit;

} // namespace

void criaCopiaPreco(const QString &branch, const QString &table, const QString &product,
                    const QDateTime &start, const QDateTime &end)
{
    WaitCursor cursor;
    Cli_prx51710::stFilial = branch;
    stTabPrec = table;
    stCdProdOrigem = product;
    dtVigIni = start;
    dtVigFin = end;
    stProdDest.clear();
    package::showBuiltOnce(frmCopiaPreco, boCriado);
}

} // namespace Cli_prx51709

TfrmCopiaPreco::TfrmCopiaPreco(QWidget *parent) : TfrmRotiGeral(parent)
{
    Cli_prx51700::mainScreen(); // copies within the screen's current period
    setObjectName(QStringLiteral("frmCopiaPreco"));
    setCaption(QStringLiteral("Copiar Preços Diferenciados"));
    setScreenCode(QStringLiteral("PRX51709"));
}

TfrmCopiaPreco::~TfrmCopiaPreco()
{
    package::forgetBuiltOnce(this, Cli_prx51709::frmCopiaPreco, Cli_prx51709::boCriado);
}

void TfrmCopiaPreco::FormClose()
{
    TfrmRotiGeral::FormClose();
    Cli_prx51709::boCriado = false;
}

} // namespace prx
