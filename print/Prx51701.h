#pragma once

#include "PrintExport.h"

// The entry points of the price list module under plain names: IniProc, which
// the host calls after loading the module, and the creator of its dialog.
extern "C" {

PRX51701_EXPORT void IniProc();
PRX51701_EXPORT void Cli_prx51701_CriaListaPreco();
}
