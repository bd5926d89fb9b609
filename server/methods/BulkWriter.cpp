#include "methods/BulkWriter.h"

#include "storage/Storage.h"

#include <QRegularExpression>
#include <QSqlDriver>

#include <sqlite3.h>

namespace prx::server {

namespace {

// Rows per PostgreSQL statement: large enough that the round trips vanish,
// small enough that one statement stays a few hundred kilobytes.
constexpr int kChunk = 5000;

// Rows per SQLite statement when the statement is a plain INSERT … VALUES:
// each execution of a statement that fires triggers pays a set-up of its own,
// which a few dozen rows share.
constexpr int kSqliteBatch = 64;

// The INSERT with its VALUES row repeated `rows` times, the per-row
// parameters of copy j renamed ":c<n>_<j>"; empty when the statement is not
// a single-row INSERT … VALUES (…).
QString repeatedInsert(const QString &sql, int rows)
{
    static const QRegularExpression head(QStringLiteral("^\\s*INSERT\\b.*?\\bVALUES\\s*\\("),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = head.match(sql);
    if (!m.hasMatch())
        return {};
    const qsizetype open = m.capturedEnd() - 1;
    qsizetype close = -1;
    int depth = 0;
    for (qsizetype i = open; i < sql.size() && close < 0; ++i) {
        if (sql[i] == u'\'') { // a literal ('' inside it is one quote) is passed over
            const qsizetype end = sql.indexOf(u'\'', i + 1);
            if (end < 0 || sql.mid(i, end - i).contains(QLatin1StringView(":c")))
                return {};
            i = end;
            continue;
        }
        if (sql[i] == u'(')
            ++depth;
        else if (sql[i] == u')' && --depth == 0)
            close = i;
    }
    if (close < 0)
        return {};
    const QString tuple = sql.mid(open, close - open + 1);
    static const QRegularExpression param(QStringLiteral(":c(\\d+)\\b"));
    QStringList copies;
    for (int j = 0; j < rows; ++j) {
        QString copy = tuple;
        copy.replace(param, QStringLiteral(":c\\1_%1").arg(j));
        copies << copy;
    }
    return sql.left(open) + copies.join(u',') + sql.mid(close + 1);
}

// An element of a PostgreSQL array literal: quoted, with quotes and
// backslashes escaped, so no value can change the array's shape.
void appendArrayText(QString &array, QStringView value)
{
    if (array.size() > 1)
        array += u',';
    array += u'"';
    for (QChar c : value) {
        if (c == u'"' || c == u'\\')
            array += u'\\';
        array += c;
    }
    array += u'"';
}

void appendArrayItem(QString &array, const QString &item)
{
    if (array.size() > 1)
        array += u',';
    array += item;
}

// Binds a value the way the columns store it: text as UTF-8.
int bindValue(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.metaType().id()) {
    case QMetaType::Double:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

[[noreturn]] void raiseSqlite(sqlite3 *db, const QString &doing)
{
    const int code = sqlite3_extended_errcode(db) & 0xff;
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if (code == SQLITE_CONSTRAINT)
        throw ServerError(QStringLiteral("Operação recusada: %1.").arg(message), ErrorMethod);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        throw ServerError(QStringLiteral("O banco de dados está ocupado por outra operação; "
                                         "tente novamente."),
                          ErrorMethod);
    }
    throw ServerError(QStringLiteral("Erro no banco de dados (%1): %2").arg(doing, message),
                      ErrorInternal);
}

sqlite3_stmt *prepareSqlite(sqlite3 *db, const QString &sql, const SqlBinds &binds,
                            const QString &doing)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        raiseSqlite(db, doing);
    for (const auto &[name, value] : binds) {
        const int index = sqlite3_bind_parameter_index(stmt, name.toUtf8().constData());
        if (index > 0 && bindValue(stmt, index, value) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            raiseSqlite(db, doing);
        }
    }
    return stmt;
}

} // namespace

BulkReader::BulkReader(const Storage &storage, const QString &sql, const SqlBinds &binds,
                       const QString &doing)
    : m_doing(doing), m_db(nativeSqliteHandle(storage))
{
    if (m_db) {
        m_stmt = prepareSqlite(m_db, sql, binds, doing);
        return;
    }
    // Its callers write while they read (a BulkWriter flushing mid-loop):
    // on PostgreSQL the rows must all be fetched first.
    m_query.emplace(storage.prepare(sql, Storage::Rows::Buffered));
    for (const auto &[name, value] : binds)
        m_query->bindValue(name, value);
    storage.exec(*m_query, doing);
}

BulkReader::~BulkReader()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

bool BulkReader::next()
{
    if (!m_db)
        return m_query->next();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        failSqlite();
    return false;
}

bool BulkReader::isNull(int column) const
{
    if (!m_db)
        return m_query->isNull(column);
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString BulkReader::text(int column) const
{
    if (!m_db)
        return m_query->value(column).toString();
    const char *chars = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(chars, sqlite3_column_bytes(m_stmt, column));
}

double BulkReader::real(int column) const
{
    if (!m_db)
        return m_query->value(column).toDouble();
    return sqlite3_column_double(m_stmt, column);
}

void BulkReader::failSqlite() const
{
    raiseSqlite(m_db, m_doing);
}

sqlite3 *nativeSqliteHandle(const Storage &storage)
{
    if (!storage.dialect().isSqlite())
        return nullptr;
    const QVariant handle = storage.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

BulkWriter::BulkWriter(const Storage &storage, const QString &sqliteSql, const QString &postgresSql,
                       const QList<Kind> &columns, const SqlBinds &constants, const QString &doing)
    : m_storage(storage), m_columns(columns), m_doing(doing)
{
    m_db = nativeSqliteHandle(storage);
    if (m_db) {
        m_stmt = prepareSqlite(m_db, sqliteSql, constants, doing);
        for (int c = 0; c < columns.size(); ++c) {
            m_index << sqlite3_bind_parameter_index(
                m_stmt, QStringLiteral(":c%1").arg(c).toUtf8().constData());
            Q_ASSERT(m_index.last() > 0);
        }
        const QString batch = repeatedInsert(sqliteSql, kSqliteBatch);
        if (!batch.isEmpty()) {
            m_batch = prepareSqlite(m_db, batch, constants, doing);
            for (int j = 0; j < kSqliteBatch; ++j) {
                for (int c = 0; c < columns.size(); ++c) {
                    m_batchIndex << sqlite3_bind_parameter_index(
                        m_batch, QStringLiteral(":c%1_%2").arg(c).arg(j).toUtf8().constData());
                    Q_ASSERT(m_batchIndex.last() > 0);
                }
            }
        }
        return;
    }
    m_query.emplace(storage.prepare(postgresSql));
    for (const auto &[name, value] : constants)
        m_query->bindValue(name, value);
    for (qsizetype c = 0; c < columns.size(); ++c)
        m_arrays << QStringLiteral("{");
}

BulkWriter::~BulkWriter()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
    if (m_batch)
        sqlite3_finalize(m_batch);
}

// Binds one value of the current row: into the pending batch when there is
// one (the values wait there until the batch fills or the writer finishes),
// else straight into the single-row statement.
void BulkWriter::bindSqlite(SqliteValue value)
{
    if (m_batch) {
        m_pendingValues.push_back(std::move(value));
        return;
    }
    if (bindTo(m_stmt, m_index[m_column], value) != SQLITE_OK)
        failSqlite();
}

int BulkWriter::bindTo(sqlite3_stmt *stmt, int index, const SqliteValue &value)
{
    if (const auto *text = std::get_if<QByteArray>(&value))
        return sqlite3_bind_text(stmt, index, text->constData(), int(text->size()),
                                 SQLITE_TRANSIENT);
    if (const auto *real = std::get_if<double>(&value))
        return sqlite3_bind_double(stmt, index, *real);
    return sqlite3_bind_null(stmt, index);
}

void BulkWriter::text(QStringView value)
{
    Q_ASSERT(m_columns[m_column] == Kind::Text);
    if (m_db) {
        bindSqlite(value.toUtf8());
    } else {
        appendArrayText(m_arrays[m_column], value);
    }
    ++m_column;
}

void BulkWriter::real(std::optional<double> value)
{
    Q_ASSERT(m_columns[m_column] == Kind::Real);
    if (m_db) {
        bindSqlite(value ? SqliteValue(*value) : SqliteValue());
    } else {
        appendArrayItem(m_arrays[m_column],
                        value ? QString::number(*value, 'g', QLocale::FloatingPointShortest)
                              : QStringLiteral("NULL"));
    }
    ++m_column;
}

void BulkWriter::endRow()
{
    Q_ASSERT(m_column == m_columns.size());
    m_column = 0;
    if (m_db) {
        if (m_batch) {
            if (qsizetype(m_pendingValues.size()) == m_batchIndex.size()) {
                for (qsizetype i = 0; i < m_batchIndex.size(); ++i) {
                    if (bindTo(m_batch, m_batchIndex[i], m_pendingValues[size_t(i)]) != SQLITE_OK)
                        failSqlite();
                }
                m_pendingValues.clear();
                stepSqlite(m_batch);
            }
            return;
        }
        stepSqlite(m_stmt);
        return;
    }
    if (++m_pending >= kChunk)
        flush();
}

qint64 BulkWriter::finish()
{
    if (!m_db) {
        flush();
        return m_affected;
    }
    // The rows of a batch that did not fill go one by one, in their order.
    const qsizetype columns = m_columns.size();
    for (size_t i = 0; i < m_pendingValues.size(); ++i) {
        if (bindTo(m_stmt, m_index[qsizetype(i % size_t(columns))], m_pendingValues[i]) !=
            SQLITE_OK)
            failSqlite();
        if ((i + 1) % size_t(columns) == 0)
            stepSqlite(m_stmt);
    }
    m_pendingValues.clear();
    return m_affected;
}

void BulkWriter::stepSqlite(sqlite3_stmt *stmt)
{
    if (sqlite3_step(stmt) != SQLITE_DONE)
        failSqlite();
    m_affected += sqlite3_changes(m_db);
    sqlite3_reset(stmt);
}

void BulkWriter::flush()
{
    if (m_pending == 0)
        return;
    for (qsizetype c = 0; c < m_arrays.size(); ++c) {
        m_query->bindValue(QStringLiteral(":c%1").arg(c), m_arrays[c] + u'}');
        m_arrays[c] = QStringLiteral("{");
    }
    m_storage.exec(*m_query, m_doing);
    m_affected += m_query->numRowsAffected();
    m_pending = 0;
}

void BulkWriter::failSqlite()
{
    m_pendingValues.clear();
    if (m_batch)
        sqlite3_reset(m_batch);
    if (m_stmt)
        sqlite3_reset(m_stmt);
    raiseSqlite(m_db, m_doing);
}

} // namespace prx::server
