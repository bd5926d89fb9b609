#pragma once

#include "storage/Schema.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace prx::server {

// Everything that differs between SQLite and PostgreSQL, in one place: column
// types, how a transaction starts, null-safe comparison, "now", and how a
// date-time travels to and from the database. Date-times are wall-clock
// values: SQLite keeps them as TEXT 'yyyy-MM-dd HH:mm:ss', PostgreSQL as
// TIMESTAMP without time zone; both are bound and read back as that text, so
// no driver ever gets a chance to shift them by a time zone.
class SqlDialect
{
public:
    enum class Kind
    {
        Sqlite,
        Postgres
    };

    explicit SqlDialect(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    bool isSqlite() const { return m_kind == Kind::Sqlite; }

    QString columnType(const ColumnDef &column) const;
    QStringList createTable(const TableDef &table) const; // the table and its indexes

    // Statements that teach the planner what it cannot learn from the
    // columns themselves (run after the tables exist; idempotent).
    QStringList plannerStatistics() const;

    // The price routines as SQL functions of the database (run with the
    // schema; idempotent). SQLite registers its own on each connection, so
    // this is empty there. Their meaning is the one registerPriceFunctions
    // documents, computed on exact decimals with the same cuts.
    QStringList priceFunctions() const;

    // Statements run once on every new connection.
    QStringList sessionSetup() const;

    QString beginTransaction() const;

    // "column = :param" that also holds when both are null.
    QString nullSafeEqual(const QString &column, const QString &param) const;

    // Inserts a row unless one with the same key exists (then nothing
    // happens and no row is affected).
    QString insertUnlessExists(const QString &table, const QStringList &columns) const;
    // Inserts a row or, when its key exists, overwrites the other columns.
    QString upsert(const QString &table, const QStringList &columns, const QStringList &key) const;

    // The database's current wall-clock time as an expression of the
    // date-time column type.
    QString now() const;

    // A select-list expression that yields a date-time column as
    // 'yyyy-MM-dd HH:mm:ss' text.
    QString selectDateTime(const QString &expression) const;

    // A bound parameter used where nothing around it gives it a type (the
    // select list of an INSERT ... SELECT, both arms of a CASE): PostgreSQL
    // must be told, SQLite takes the value as it comes.
    QString typedParam(const QString &param, FieldType type) const;
    // A date-time expression moved by a whole number of days (the parameter
    // holds the number, negative to go back).
    QString addDays(const QString &expression, const QString &daysParam) const;

    // The value bound for a date-time parameter; a null variant for an
    // invalid date-time.
    static QVariant bindDateTime(const QDateTime &value);
    static QString dateTimeText(const QDateTime &value);
    // Parses 'yyyy-MM-dd HH:mm:ss' (an optional fraction is ignored) into
    // wall-clock milliseconds since the epoch, as ColumnTable keeps them.
    static bool parseDateTimeText(QStringView text, qint64 *ms);
    static QDateTime dateTimeFromText(QStringView text); // invalid when unparsable

private:
    Kind m_kind;
};

} // namespace prx::server
