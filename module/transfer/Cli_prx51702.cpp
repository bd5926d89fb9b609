#include "Cli_prx51702.h"

#include "package/FormLife.h"
#include "package/WaitCursor.h"
#include "pricetable/Cli_prx51700.h"

namespace prx {

namespace Cli_prx51702 {

TfrmImportaVigencia *frmImportaVigencia = nullptr;

void CriaImportaVigencia()
{
    WaitCursor cursor;
    frmImportaVigencia = package::buildDialog<TfrmImportaVigencia>();
    package::normalThenShowModal(frmImportaVigencia);
}

} // namespace Cli_prx51702

TfrmImportaVigencia::TfrmImportaVigencia(QWidget *parent) : TfrmRotiGeral(parent)
{
    Cli_prx51700::mainScreen(); // imports into the screen's current table
    setObjectName(QStringLiteral("frmImportaVigencia"));
    setCaption(QStringLiteral("Importar Vigência"));
    setScreenCode(QStringLiteral("PRX51702"));
}

TfrmImportaVigencia::~TfrmImportaVigencia()
{
    if (Cli_prx51702::frmImportaVigencia == this)
        Cli_prx51702::frmImportaVigencia = nullptr;
}

} // namespace prx
