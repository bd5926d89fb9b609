#include "Cli_prx51703.h"

#include "net/NetConnection.h"
#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"
#include "services/HostState.h"

namespace prx {

namespace Cli_prx51703 {

TfrmImportaTabela *frmImportaTabela = nullptr;
bool boPrimVez = false;

void CriaImportaTabela()
{
    WaitCursor cursor;
    frmImportaTabela = package::buildDialog<TfrmImportaTabela>();
    package::normalThenShowModal(frmImportaTabela);
}

} // namespace Cli_prx51703

TfrmImportaTabela::TfrmImportaTabela(QWidget *parent)
    : TfrmRotiGeral(parent), netImportaTabela(new NetConnection(this))
{
    Cli_prx51700::mainScreen(); // exports the screen's current table
    setObjectName(QStringLiteral("frmImportaTabela"));
    setCaption(QStringLiteral("Exportar Tabela de Preço"));
    setScreenCode(QStringLiteral("PRX51703"));
    netImportaTabela->setObjectName(QStringLiteral("netImportaTabela"));
    netImportaTabela->setServerObject(QStringLiteral("Prx51700.rdmTabePreco"));
    netImportaTabela->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };
}

TfrmImportaTabela::~TfrmImportaTabela()
{
    if (Cli_prx51703::frmImportaTabela == this)
        Cli_prx51703::frmImportaTabela = nullptr;
}

void TfrmImportaTabela::FormCreate()
{
    TfrmRotiGeral::FormCreate();
    Cli_prx51703::boPrimVez = true;
    netImportaTabela->setConnected(true);
}

void TfrmImportaTabela::FormDestroy()
{
    TfrmRotiGeral::FormDestroy();
    netImportaTabela->setConnected(false);
}

} // namespace prx
