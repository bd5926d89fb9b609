#pragma once

#include "dataset/ClientDataSet.h"

#include <memory>

class QWidget;

namespace prx::test {

// Price items in miniature: CODIGO (string 4, "Código"), NOME (string 30,
// "Nome"), PRECO (float "#,##0.00", "Preço"), HORA (string 4 with the mask
// "99:99;0; ", "Hora"), ATIVO (string 1 shown "Sim"/"Não", "Ativo").
// Row i has CODIGO "000<i+1>", NOME from a fixed list of names, PRECO
// (i + 1) * 1.5, HORA "0800", ATIVO "S" for even rows.
std::unique_ptr<ClientDataSet> makeItems(int rows = 10);

// The names used by makeItems, in row order (repeating).
QString itemName(int row);

// A dataset of `rows` rows with CODIGO and NOME, loaded in one packet.
std::unique_ptr<ClientDataSet> makeLarge(int rows);

// Shows the widget as a window and waits until it is exposed and active.
bool showAndActivate(QWidget *widget);

} // namespace prx::test
