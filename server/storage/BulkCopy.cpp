#include "storage/BulkCopy.h"

#include "core/CallDeadline.h"
#include "core/MethodRegistry.h"
#include "storage/Storage.h"

#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

namespace prx::server {

namespace {

PGconn *nativeHandle(const Storage &storage)
{
    const QVariant handle = storage.database().driver()->handle();
    // The driver registers the handle under the struct's own name.
    const char *type = handle.typeName();
    if (qstrcmp(type, "pg_conn*") != 0 && qstrcmp(type, "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

// The database's own words for a failure, as a statement's error would carry
// them, so that Storage::raise gives the same Portuguese message.
[[noreturn]] void raise(PGconn *conn, PGresult *result, const QString &doing)
{
    QString text = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    const QString code =
        result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    if (result)
        PQclear(result);
    // The copy is over whatever happened: what libpq still holds is dropped.
    while (PGresult *rest = PQgetResult(conn))
        PQclear(rest);
    Storage::raise(QSqlError(QString(), text.trimmed(), QSqlError::StatementError, code), doing);
}

} // namespace

bool BulkCopy::available(const Storage &storage)
{
    return nativeHandle(storage) != nullptr;
}

BulkCopy::BulkCopy(const Storage &storage, const QString &table, const QStringList &columns,
                   const QString &doing)
    : m_storage(storage),
      m_command(QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(u", ")).toUtf8()),
      m_doing(doing)
{
}

void BulkCopy::separate()
{
    if (m_rowStarted)
        m_data += '\t';
    m_rowStarted = true;
}

void BulkCopy::null()
{
    separate();
    m_data += "\\N";
}

void BulkCopy::text(QStringView value)
{
    separate();
    const QByteArray utf8 = value.toUtf8();
    for (const char c : utf8) {
        // The text format's own characters travel escaped; everything else as it is.
        switch (c) {
        case '\\':
            m_data += "\\\\";
            break;
        case '\t':
            m_data += "\\t";
            break;
        case '\n':
            m_data += "\\n";
            break;
        case '\r':
            m_data += "\\r";
            break;
        default:
            m_data += c;
        }
    }
}

void BulkCopy::real(double value)
{
    separate();
    // The shortest text that reads back as the same double: the database
    // stores exactly the value a bound parameter would have given it.
    m_data += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

void BulkCopy::integer(qint64 value)
{
    separate();
    m_data += QByteArray::number(value);
}

void BulkCopy::endRow()
{
    m_data += '\n';
    m_rowStarted = false;
    ++m_rows;
}

qint64 BulkCopy::send()
{
    Q_ASSERT(!m_rowStarted);
    if (m_rows == 0)
        return 0;
    if (CallDeadline::expired())
        throw ServerError(CallDeadline::message(), ErrorLimit);
    PGconn *conn = nativeHandle(m_storage);
    Q_ASSERT(conn);
    PGresult *start = PQexec(conn, m_command.constData());
    if (PQresultStatus(start) != PGRES_COPY_IN)
        raise(conn, start, m_doing);
    PQclear(start);
    // Pieces of a few hundred kilobytes keep libpq's own buffer small.
    constexpr qsizetype kPiece = 256 * 1024;
    for (qsizetype at = 0; at < m_data.size(); at += kPiece) {
        const int n = int(std::min(kPiece, m_data.size() - at));
        if (PQputCopyData(conn, m_data.constData() + at, n) != 1)
            raise(conn, nullptr, m_doing);
    }
    if (PQputCopyEnd(conn, nullptr) != 1)
        raise(conn, nullptr, m_doing);
    PGresult *end = PQgetResult(conn);
    if (PQresultStatus(end) != PGRES_COMMAND_OK)
        raise(conn, end, m_doing);
    const qint64 copied = QByteArray(PQcmdTuples(end)).toLongLong();
    PQclear(end);
    while (PGresult *rest = PQgetResult(conn))
        PQclear(rest);
    m_data.resize(0); // the room stays for the next rows
    m_rows = 0;
    return copied;
}

} // namespace prx::server
