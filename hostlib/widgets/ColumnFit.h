#pragma once

namespace prx {

class DBGrid;

// Column widths that show whole texts. A width set by hand is a guess made
// with one font; these measure with the grid's own fonts and style, so a
// title or a value is never cut to "Hora Inici" wherever the program runs.

// Widens each column whose title needs more room than it has (the sort mark
// included where the grid sorts); never narrows one.
void fitColumnTitles(DBGrid &grid);

// Widens each visible column to its widest text among the rows loaded, up to
// maxWidth pixels, and to its title; never narrows one.
void fitColumnContents(DBGrid &grid, int maxWidth);

// A list to read, not to edit: titles in bold, whole rows selected, the
// selection shown without the focus, columns resizable, nothing editable.
void setReadOnlyList(DBGrid &grid);

} // namespace prx
