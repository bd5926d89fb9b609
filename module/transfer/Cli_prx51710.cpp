#include "Cli_prx51710.h"

#include "dataset/ClientDataSet.h"
#include "package/FormLife.h"

namespace prx {

namespace Cli_prx51710 {

TfrmInconsistenciaCopia *frmInconsistenciaCopia = nullptr;
QString stFilial;
QString stTabePrec;
QVariant oleErros;

namespace {

struct Unit
{
    ~Unit()
    {
        stFilial.clear();
        stTabePrec.clear();
        oleErros.clear();
    }
};
const Unit unit;

} // namespace

void criaRelInconsistencia(const QString &branch, const QString &table, const QVariant &errors)
{
    stFilial = branch;
    stTabePrec = table;
    // A copy: the report must not change with the caller's packet.
    const DataPacketPtr packet = errors.value<DataPacketPtr>();
    oleErros = packet ? QVariant::fromValue(std::make_shared<DataPacket>(*packet)) : QVariant();
    frmInconsistenciaCopia = package::buildDialog<TfrmInconsistenciaCopia>();
    package::execModal(frmInconsistenciaCopia);
}

} // namespace Cli_prx51710

TfrmInconsistenciaCopia::TfrmInconsistenciaCopia(QWidget *parent)
    : TfrmDadosGerRel(parent), cdsErrosCopia(new ClientDataSet(this))
{
    setObjectName(QStringLiteral("frmInconsistenciaCopia"));
    setWindowTitle(QStringLiteral("Inconsistências de Preços Copiados"));
    setTitle(QStringLiteral("Inconsistências de Preços Copiados"));
    setScreenCode(QStringLiteral("PRX51710"));
    cdsErrosCopia->setObjectName(QStringLiteral("cdsErrosCopia"));
}

TfrmInconsistenciaCopia::~TfrmInconsistenciaCopia()
{
    if (Cli_prx51710::frmInconsistenciaCopia == this)
        Cli_prx51710::frmInconsistenciaCopia = nullptr;
}

void TfrmInconsistenciaCopia::FormCreate()
{
    TfrmDadosGerRel::FormCreate();
    if (const DataPacketPtr packet = Cli_prx51710::oleErros.value<DataPacketPtr>())
        cdsErrosCopia->loadPacket(DataPacket(*packet));
}

} // namespace prx
