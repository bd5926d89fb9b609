#include "Cli_prx51704.h"

#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "services/HostState.h"

namespace prx {

namespace Cli_prx51704 {

TfrmCadAutTabePrec *frmCadAutTabePrec = nullptr;
bool boStCriado = false;
QObject *dtmCustProd = nullptr;

namespace {

struct Unit
{
    Unit() { boStCriado = false; }
};
const Unit unit;

} // namespace

void CriaCadAutTabePrec()
{
    WaitCursor cursor;
    package::showBuiltOnce(frmCadAutTabePrec, boStCriado);
}

} // namespace Cli_prx51704

TfrmCadAutTabePrec::TfrmCadAutTabePrec(QWidget *parent)
    : TfrmRotiGeral(parent), netCustos(new NetConnection(this))
{
    Cli_prx51700::mainScreen(); // computes the screen's current period
    setObjectName(QStringLiteral("frmCadAutTabePrec"));
    setCaption(QStringLiteral("Calcula Preço"));
    setScreenCode(QStringLiteral("PRX51704"));
    netCustos->setObjectName(QStringLiteral("netCustos"));
    netCustos->setServerObject(QStringLiteral("cus.rdmCustProd"));
    netCustos->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };
}

TfrmCadAutTabePrec::~TfrmCadAutTabePrec()
{
    package::forgetBuiltOnce(this, Cli_prx51704::frmCadAutTabePrec, Cli_prx51704::boStCriado);
}

void TfrmCadAutTabePrec::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    netCustos->setConnected(true);
}

void TfrmCadAutTabePrec::FormClose()
{
    TfrmRotiGeral::FormClose();
    Cli_prx51704::boStCriado = false;
    m_stFiltro.clear();
    m_stLista.clear();
}

void TfrmCadAutTabePrec::FormDestroy()
{
    TfrmRotiGeral::FormDestroy();
    netCustos->setConnected(false);
}

} // namespace prx
