#pragma once

#include "dataset/ClientDataSet.h"

#include <QStringList>

namespace prx {

// A read-only lookup on the host's database connection: the lines of an SQL
// statement with named parameters (":P_CDFILIAL"), run as written, whose rows
// fill the dataset.
//
// Parameters are bound by name and never pasted into the text. A parameter
// left unset is null. Date-times are bound as the wall-clock text the
// database stores. Fields defined before open() keep their types, labels and
// sizes; without any, the statement's columns become the fields, typed from
// what the database reports (a "DT..." column of date-time texts becomes a
// date-time).
class LocalQuery : public ClientDataSet
{
    Q_OBJECT

public:
    explicit LocalQuery(QObject *parent = nullptr);

    void setSql(const QStringList &lines);
    const QStringList &sql() const { return m_sql; }
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }

    // The parameters of the statement, in order of first appearance, without
    // the colon.
    QStringList paramNames() const;
    bool hasParam(const QString &name) const;
    // Sets a parameter by name (letter case ignored, colon optional); a name
    // the statement does not hold throws DataSetError, so that a misspelt
    // parameter cannot leave the real one null.
    void setParam(const QString &name, const QVariant &value);
    void clearParam(const QString &name) { setParam(name, QVariant()); }
    QVariant param(const QString &name) const;

    // The connection; the host's by default.
    void setConnectionName(const QString &name) { m_connection = name; }
    QString connectionName() const;

    // Runs the statement and opens the dataset on its rows (closing it first
    // when open). Throws DataSetError with a Portuguese message when the
    // database is not open or the statement fails.
    void open();

private:
    struct Parsed
    {
        QString positional;     // the text with each parameter replaced by '?'
        QStringList occurrence; // the parameter (upper case) of each '?'
        QStringList names;      // distinct names as first written
    };
    static Parsed parse(const QString &text);
    QString keyOf(const QString &name) const;
    QVariant bindable(const QVariant &value) const;

    QStringList m_sql;
    Parsed m_parsed;
    QHash<QString, QVariant> m_params; // upper-case name -> value
    QString m_connection;
};

} // namespace prx
