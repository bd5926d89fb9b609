#pragma once

#include "money/Decimal.h"

#include <QString>
#include <QStringView>

namespace prx::pricelist {

// The words of a differentiated price as the list prints them under its item:
// "Sábado 18:00–22:00, Todos, −10 %: 8,91".

// "Domingo" … "Sábado", "Véspera de feriado", "Feriado", "Todos os dias"; an
// unknown code is shown as it is.
QString dayName(QStringView code);
// "1800" and "2200" give "18:00–22:00"; a missing end gives "a partir de 18:00".
QString hourRange(QStringView start, QStringView end);
// "−10 %", "+12,5 %", "−1,50", "+0,75".
QString changeText(Decimal amount, bool percentage, bool discount);
// 1234.5 gives "1.234,50".
QString moneyText(Decimal value, int decimals = 2);

} // namespace prx::pricelist
