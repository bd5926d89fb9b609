#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the price table screen, drawn rather than loaded so that
// they look the same on every machine and scale with the grid rows.
namespace prx::pricetable {

// The marker of a composite product: three stacked boxes.
QPixmap compositeMarker(int size = 14);
// A check box drawn ticked or empty, for the modality columns.
QPixmap checkImage(bool checked, int size = 13);

enum class ScreenIcon
{
    ImportExport,
    Calculate,
    UpdatePrices,
    AutoAlter,
    DiffPrices,
    Release,
    Approve,
};
QIcon screenIcon(ScreenIcon kind);

} // namespace prx::pricetable
