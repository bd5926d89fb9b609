#pragma once

namespace prx::server {

// The PostgreSQL driver only warns when a statement run in the middle of a
// streamed read drops the read's remaining rows. That warning is caught for
// the thread it happens on, so that the work it spoils fails instead of
// being committed or answered short.
void watchDroppedRows();
// Whether rows were dropped on this thread since the last look; forgets them.
bool takeDroppedRows();
// The same, as a ServerError that says nothing was saved.
void checkNoRowsDropped();

} // namespace prx::server
