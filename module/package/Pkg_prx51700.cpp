#include "Pkg_prx51700.h"

#include "autoprice/Cli_prx51704.h"
#include "autoprice/Cli_prx51706.h"
#include "autoprice/Cli_prx51707.h"
#include "autoprice/Cli_prx51708.h"
#include "pricetable/Cli_prx51700.h"
#include "transfer/Cli_prx51702.h"
#include "transfer/Cli_prx51703.h"
#include "transfer/Cli_prx51709.h"
#include "transfer/Cli_prx51710.h"

using namespace prx;

void IniProc()
{
    Cli_prx51700::CriaTabePreco();
}

void Cli_prx51700_CriaTabePreco()
{
    Cli_prx51700::CriaTabePreco();
}

void Cli_prx51706_CriaCadAutPromocao()
{
    Cli_prx51706::CriaCadAutPromocao();
}

void Cli_prx51703_CriaImportaTabela()
{
    Cli_prx51703::CriaImportaTabela();
}

void Cli_prx51704_CriaCadAutTabePrec()
{
    Cli_prx51704::CriaCadAutTabePrec();
}

void Cli_prx51702_CriaImportaVigencia()
{
    Cli_prx51702::CriaImportaVigencia();
}

void Cli_prx51707_CriaCadAutPrecoDeferenciado()
{
    Cli_prx51707::CriaCadAutPrecoDeferenciado();
}

bool Cli_prx51708_CriaProdSemImpos(QWidget *form)
{
    return Cli_prx51708::CriaProdSemImpos(form);
}

void Cli_prx51710_criaRelInconsistencia(const QString &branch, const QString &table,
                                        const QVariant &errors)
{
    Cli_prx51710::criaRelInconsistencia(branch, table, errors);
}

void Cli_prx51709_criaCopiaPreco(const QString &branch, const QString &table,
                                 const QString &product, const QDateTime &start,
                                 const QDateTime &end)
{
    Cli_prx51709::criaCopiaPreco(branch, table, product, start, end);
}
