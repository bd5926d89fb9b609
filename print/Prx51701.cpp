#include "Prx51701.h"

#include "TfrmListaPreco.h"

void IniProc()
{
    prx::Cli_prx51701::CriaListaPreco();
}

void Cli_prx51701_CriaListaPreco()
{
    prx::Cli_prx51701::CriaListaPreco();
}
