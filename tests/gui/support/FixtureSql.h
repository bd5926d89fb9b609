#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace prx::test {

// Direct access to the server's SQLite file, to set up what a test needs and
// to check what the screen saved. Each call opens and closes its own
// connection, so nothing stays open beside the server.

// Runs one statement; false (and a warning) when it fails.
bool execFixtureSql(const QString &databaseFile, const QString &statement);
// The first column of the first row of a query with named values; an invalid
// value when there is no row or the query fails.
QVariant fixtureValue(const QString &databaseFile, const QString &query,
                      const QVariantMap &values = {});
// How many rows the query returns; -1 when it fails.
int countFixtureRows(const QString &databaseFile, const QString &query);

} // namespace prx::test
