#include "storage/Storage.h"

#include "core/CallDeadline.h"
#include "core/MethodRegistry.h"
#include "storage/DroppedRows.h"
#include "storage/HistoryTriggers.h"
#include "storage/Schema.h"

#include <QAtomicInt>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

#include <sqlite3.h>

namespace prx::server {

namespace {

QAtomicInt connectionCounter;

bool isPostgresUrl(const QString &text)
{
    return text.startsWith(u"postgresql://", Qt::CaseInsensitive) ||
           text.startsWith(u"postgres://", Qt::CaseInsensitive);
}

// The schema name ends up in DDL, where nothing can be bound; only a plain
// identifier is accepted.
bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    return re.match(name).hasMatch();
}

// Called by SQLite every few thousand steps of a statement: a call past its
// time limit is interrupted inside the statement it is running.
int interruptPastDeadline(void *)
{
    return CallDeadline::expired() ? 1 : 0;
}

void watchDeadline(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    if (sqlite3 *native = *static_cast<sqlite3 *const *>(handle.constData()))
        sqlite3_progress_handler(native, 4000, interruptPastDeadline, nullptr);
}

[[noreturn]] void raiseDeadline()
{
    throw ServerError(CallDeadline::message(), ErrorLimit);
}

} // namespace

Storage::Storage(SqlDialect::Kind kind, QString connectionName)
    : m_dialect(kind), m_connectionName(std::move(connectionName))
{
}

Storage::~Storage()
{
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<Storage> Storage::open(const QString &fileOrUrl, QString *error)
{
    const QString name =
        QStringLiteral("prx-storage-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    const bool pg = isPostgresUrl(fileOrUrl);
    QString schema;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
        if (pg) {
            watchDroppedRows();
            const QUrl url(fileOrUrl);
            db.setHostName(url.host().isEmpty() ? QStringLiteral("127.0.0.1") : url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setPassword(url.password());
            db.setDatabaseName(url.path().mid(1));
            schema = QUrlQuery(url).queryItemValue(QStringLiteral("schema"));
            if (!schema.isEmpty() && !isPlainIdentifier(schema)) {
                if (error)
                    *error = QStringLiteral("Nome de esquema inválido: %1.").arg(schema);
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(name);
                return nullptr;
            }
        } else {
            db.setDatabaseName(fileOrUrl);
            // Other connections (the host's lookups, a second server) may hold
            // the file briefly; wait for them instead of failing at once.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
        if (!db.open()) {
            if (error) {
                *error = QStringLiteral("Não foi possível abrir o banco de dados %1: %2")
                             .arg(pg ? QUrl(fileOrUrl).toString(QUrl::RemovePassword) : fileOrUrl,
                                  db.lastError().text());
            }
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return nullptr;
        }
        if (!pg)
            watchDeadline(db);
    }
    std::unique_ptr<Storage> storage(
        new Storage(pg ? SqlDialect::Kind::Postgres : SqlDialect::Kind::Sqlite, name));
    try {
        QStringList setup = storage->dialect().sessionSetup();
        if (!schema.isEmpty()) {
            setup << QStringLiteral("CREATE SCHEMA IF NOT EXISTS %1").arg(schema)
                  << QStringLiteral("SET search_path TO %1").arg(schema);
        }
        for (const QString &sql : setup)
            storage->execDirect(sql);
    } catch (const ServerError &e) {
        if (error)
            *error = e.message();
        return nullptr;
    }
    return storage;
}

QSqlDatabase Storage::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Storage::createSchema()
{
    for (const TableDef &table : Schema::tables()) {
        for (const QString &sql : m_dialect.createTable(table))
            execDirect(sql);
    }
    for (const QString &sql : m_dialect.plannerStatistics() + m_dialect.priceFunctions())
        execDirect(sql);
    HistoryTriggers::create(*this);
}

void Storage::limitStatementTime(int seconds)
{
    // SQLite is watched from inside its statements (see watchDeadline);
    // PostgreSQL cancels a statement itself once it runs past this.
    if (m_dialect.isSqlite() || seconds <= 0)
        return;
    execDirect(QStringLiteral("SET statement_timeout = %1").arg(qint64(seconds) * 1000));
}

QSqlQuery Storage::prepare(const QString &sql, Rows rows) const
{
    if (CallDeadline::expired())
        raiseDeadline();
    QSqlQuery query(database());
    // SQLite reads its rows from the file as they are asked for whatever
    // runs meanwhile; a buffered SQLite query would only copy them.
    query.setForwardOnly(rows == Rows::Streamed || m_dialect.isSqlite());
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.prepare(sql)) {
        throw ServerError(QStringLiteral("Erro interno ao preparar consulta: %1\n%2")
                              .arg(query.lastError().text(), sql),
                          ErrorInternal);
    }
    return query;
}

void Storage::exec(QSqlQuery &query, const QString &doing) const
{
    if (CallDeadline::expired())
        raiseDeadline();
    if (!query.exec())
        raise(query.lastError(), doing);
}

void Storage::execDirect(const QString &sql) const
{
    if (CallDeadline::expired())
        raiseDeadline();
    QSqlQuery query(database());
    if (!query.exec(sql))
        raise(query.lastError(), sql);
}

void Storage::raise(const QSqlError &error, const QString &doing)
{
    const QString text = error.text();
    const QString code = error.nativeErrorCode();
    // Interrupted at the call's time limit (SQLite 9, PostgreSQL 57014).
    if (CallDeadline::expired() && (code == u"9" || code == u"57014"))
        raiseDeadline();
    auto has = [&](const char *what) {
        return text.contains(QLatin1String(what), Qt::CaseInsensitive);
    };
    if (has("FOREIGN KEY") || code == u"23503") {
        throw ServerError(QStringLiteral("Operação recusada: o registro faz referência a um "
                                         "cadastro inexistente ou possui registros dependentes."),
                          ErrorMethod);
    }
    if (has("UNIQUE constraint") || code == u"23505")
        throw ServerError(QStringLiteral("Registro já cadastrado."), ErrorMethod);
    if (has("NOT NULL constraint") || code == u"23502")
        throw ServerError(QStringLiteral("Campo obrigatório não informado."), ErrorMethod);
    if (code == u"22001")
        throw ServerError(QStringLiteral("Valor maior que o tamanho do campo."), ErrorMethod);
    if (has("database is locked") || has("database table is locked") || code == u"40P01" ||
        code == u"40001") {
        throw ServerError(QStringLiteral("O banco de dados está ocupado por outra operação; "
                                         "tente novamente."),
                          ErrorMethod);
    }
    throw ServerError(QStringLiteral("Erro no banco de dados (%1): %2").arg(doing, text),
                      ErrorInternal);
}

QDateTime Storage::now() const
{
    QSqlQuery q =
        prepare(QStringLiteral("SELECT %1").arg(m_dialect.selectDateTime(m_dialect.now())));
    exec(q, QStringLiteral("ler a data e hora"));
    if (!q.next())
        return {};
    return SqlDialect::dateTimeFromText(q.value(0).toString());
}

} // namespace prx::server
