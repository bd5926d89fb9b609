#pragma once

#include "methods/MethodSupport.h"
#include "storage/SqlDialect.h"

#include <QDateTime>
#include <QStringList>

namespace prx::server {

// What export, import and their checks share: the key lists the pickers
// write, the scratch tables those keys go into, and the periods of a table.

// The keys of a list the multiple-choice search wrote ("_" + the key padded
// to 10 characters, one after the other); a text without "_" is one key.
// Keys are data: they are bound, never pasted into a statement. A key too
// long for any code is refused with a message naming `what`.
QStringList parseKeyList(const QString &text, const QString &what);

// A scratch table of this connection with one key column (CDCHAVE), emptied
// and filled with the keys (duplicates dropped) inside the caller's
// transaction, a few hundred keys per statement.
void fillKeyTable(const Storage &db, const QString &table, const QStringList &keys);

// Values bound by generated names, so that a value used twice in one
// statement gets two parameters.
class SqlParams
{
public:
    QString add(const QVariant &value);
    QString addDateTime(const QDateTime &value) { return add(SqlDialect::bindDateTime(value)); }
    const SqlBinds &binds() const { return m_binds; }

private:
    SqlBinds m_binds;
};

struct Period
{
    QDateTime start;
    QDateTime end; // invalid when the period has none
    QString state;

    // A period without an end counts as its first day only.
    QDateTime lastDay() const { return end.isValid() ? end : start; }
    bool overlaps(const Period &other) const
    {
        return start <= other.lastDay() && other.start <= lastDay();
    }
};

// The periods of a table, oldest first.
QList<Period> tablePeriods(const Storage &db, const QString &branch, const QString &table);

// "01/02/2026 a 28/02/2026"
QString periodText(const Period &period);

bool branchExists(const Storage &db, const QString &branch);
bool tableExists(const Storage &db, const QString &branch, const QString &table);
// The market segment of the branch; empty when it has none.
QString branchSegment(const Storage &db, const QString &branch);

} // namespace prx::server
