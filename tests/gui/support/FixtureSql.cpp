#include "FixtureSql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace prx::test {

namespace {

const QString kConnection = QStringLiteral("fixture-sql");

void withDatabase(const QString &databaseFile, const std::function<void(QSqlDatabase &)> &work)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(databaseFile);
        if (db.open())
            work(db);
        else
            qWarning("%s", qPrintable(db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
}

} // namespace

bool execFixtureSql(const QString &databaseFile, const QString &statement)
{
    bool ok = false;
    withDatabase(databaseFile, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        ok = q.exec(statement);
        if (!ok)
            qWarning("%s", qPrintable(q.lastError().text()));
    });
    return ok;
}

QVariant fixtureValue(const QString &databaseFile, const QString &query, const QVariantMap &values)
{
    QVariant value;
    withDatabase(databaseFile, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.prepare(query);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            q.bindValue(it.key(), it.value());
        if (!q.exec())
            qWarning("%s", qPrintable(q.lastError().text()));
        else if (q.next())
            value = q.value(0);
    });
    return value;
}

int countFixtureRows(const QString &databaseFile, const QString &query)
{
    const QVariant count =
        fixtureValue(databaseFile, QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(query));
    return count.isValid() ? count.toInt() : -1;
}

} // namespace prx::test
