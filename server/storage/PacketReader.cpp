#include "storage/PacketReader.h"

#include "storage/SqlDialect.h"

#include "core/CallDeadline.h"
#include "core/MethodRegistry.h"
#include "storage/DroppedRows.h"
#include "storage/Storage.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>

#include <sqlite3.h>

namespace prx::server {

PacketReader::PacketReader(QList<FieldDef> fields)
    : m_fields(std::move(fields)), m_constants(m_fields.size())
{
}

void PacketReader::setConstant(const QString &field, const QVariant &value)
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(field, Qt::CaseInsensitive) == 0) {
            // A null constant is kept as "null in every row", not as "read it".
            m_constants[i] = value.isValid() ? value : QVariant(QMetaType::fromType<QString>());
            return;
        }
    }
    Q_ASSERT_X(false, "PacketReader::setConstant", "unknown field");
}

namespace {

// Rows of a QSqlQuery, cell by cell.
class QueryCursor
{
public:
    explicit QueryCursor(QSqlQuery &query, QString doing = QStringLiteral("ler as linhas"))
        : m_query(query), m_doing(std::move(doing))
    {
    }
    bool next()
    {
        if (m_query.next())
            return true;
        // A driver that streams rows (PostgreSQL) reports a failure met on
        // the way as the end of them: the packet would be short unsaid.
        if (m_query.lastError().isValid())
            Storage::raise(m_query.lastError(), m_doing);
        return false;
    }
    bool load(int column)
    {
        m_value = m_query.value(column);
        return !m_value.isNull();
    }
    QStringView text()
    {
        if (m_value.metaType().id() != QMetaType::QString)
            m_value = m_value.toString();
        return *static_cast<const QString *>(m_value.constData());
    }
    double real() const { return m_value.toDouble(); }
    qint64 integer() const { return m_value.toLongLong(); }

private:
    QSqlQuery &m_query;
    QString m_doing;
    QVariant m_value;
};

struct QueryHolder
{
    QSqlQuery owned;
};

// A QSqlQuery whose rows are read after the method that ran it returned.
class OwnedQueryCursor : private QueryHolder, public QueryCursor
{
public:
    OwnedQueryCursor(QSqlQuery query, const QString &doing)
        : QueryHolder{std::move(query)}, QueryCursor(owned, doing)
    {
    }
};

// The UTF-8 of a cell as UTF-16, in a buffer reused from cell to cell.
class Utf8Cell
{
public:
    QStringView decode(QByteArrayView utf8)
    {
        // UTF-8 never takes fewer bytes than UTF-16 takes units.
        if (qsizetype(m_chars.size()) < utf8.size())
            m_chars.resize(size_t(utf8.size()));
        char16_t *out = m_chars.data();
        // Codes, flags and most names are ASCII: widened without the decoder.
        qsizetype i = 0;
        for (; i < utf8.size() && uchar(utf8[i]) < 0x80; ++i)
            out[i] = char16_t(uchar(utf8[i]));
        if (i == utf8.size())
            return QStringView(out, i);
        const QChar *end =
            m_decoder.appendToBuffer(reinterpret_cast<QChar *>(out + i), utf8.sliced(i));
        return QStringView(out, reinterpret_cast<const char16_t *>(end) - out);
    }

private:
    std::vector<char16_t> m_chars;
    // A byte order mark at the start of a value is part of the value.
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                       QStringDecoder::Flag::ConvertInitialBom};
};

// Rows of a native SQLite statement; the statement is finalized on leaving.
class SqliteCursor
{
public:
    SqliteCursor(sqlite3 *db, const QString &sql, const QList<std::pair<QString, QVariant>> &binds,
                 const QString &doing)
        : m_db(db), m_doing(doing)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) !=
            SQLITE_OK)
            fail(QStringLiteral("preparar consulta"));
        for (const auto &[name, value] : binds) {
            const int index = sqlite3_bind_parameter_index(m_stmt, name.toUtf8().constData());
            if (index == 0)
                continue; // the generic path ignores unused names too
            int rc = SQLITE_OK;
            if (value.isNull()) {
                rc = sqlite3_bind_null(m_stmt, index);
            } else {
                switch (value.metaType().id()) {
                case QMetaType::Int:
                case QMetaType::LongLong:
                case QMetaType::Bool:
                    rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
                    break;
                case QMetaType::Double:
                    rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
                    break;
                default: {
                    const QString s = value.toString();
                    rc = sqlite3_bind_text16(m_stmt, index, s.utf16(), int(s.size() * 2),
                                             SQLITE_TRANSIENT);
                }
                }
            }
            if (rc != SQLITE_OK)
                fail(m_doing);
        }
    }
    ~SqliteCursor() { sqlite3_finalize(m_stmt); }
    SqliteCursor(const SqliteCursor &) = delete;
    SqliteCursor &operator=(const SqliteCursor &) = delete;

    bool next()
    {
        // Stepping a finished statement would run it again from the start.
        if (m_done)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        m_done = true;
        if (rc != SQLITE_DONE)
            fail(m_doing);
        return false;
    }
    // The cell's value is taken once: every sqlite3_column_* call locks the
    // connection again, the value's own accessors do not. Only this thread
    // uses the statement while it is read, so the value is not shared.
    bool load(int column)
    {
        m_value = sqlite3_column_value(m_stmt, column);
        return sqlite3_value_type(m_value) != SQLITE_NULL;
    }
    // The file keeps UTF-8: asking SQLite for UTF-16 would convert every cell
    // into a buffer it allocates.
    QStringView text()
    {
        const auto *chars = reinterpret_cast<const char *>(sqlite3_value_text(m_value));
        const int bytes = sqlite3_value_bytes(m_value);
        if (!chars)
            return {};
        return m_text.decode(QByteArrayView(chars, bytes));
    }
    double real() const { return sqlite3_value_double(m_value); }
    qint64 integer() const { return sqlite3_value_int64(m_value); }

private:
    [[noreturn]] void fail(const QString &doing)
    {
        throw ServerError(QStringLiteral("Erro no banco de dados (%1): %2")
                              .arg(doing, QString::fromUtf8(sqlite3_errmsg(m_db))),
                          ErrorInternal);
    }

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_doing;
    sqlite3_value *m_value = nullptr; // the cell loaded last; owned by the statement
    Utf8Cell m_text;
    bool m_done = false;
};

sqlite3 *nativeSqlite(const Storage &storage)
{
    if (!storage.dialect().isSqlite())
        return nullptr;
    const QVariant handle = storage.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace

// Rows read a few at a time while the answer is written (net/RowSource.h).
template <class Cursor> class CursorRows final : public wire::RowSource
{
public:
    template <class... Args>
    explicit CursorRows(const PacketReader &reader, Args &&...args)
        : m_reader(reader), m_cursor(std::forward<Args>(args)...)
    {
    }
    const QList<FieldDef> &fields() const override { return m_reader.m_fields; }
    int fetch(DataPacket &packet, int rows) override
    {
        if (!m_failure.message.isEmpty())
            return -1;
        if (m_done)
            return 0;
        try {
            const int read = m_reader.fillInto(m_cursor, packet, rows);
            m_done = read < rows;
            // The driver warns, and only warns, when another statement cut
            // the read short: the rows that seem to be all are not.
            if (takeDroppedRows())
                throw ServerError(QStringLiteral("Erro interno do servidor: uma leitura da base "
                                                 "foi interrompida por outra consulta."),
                                  ErrorInternal);
            return read;
        } catch (const ServerError &e) {
            m_failure = {e.code(), e.message()};
        } catch (const std::exception &e) {
            m_failure = {
                ErrorInternal,
                QStringLiteral("Erro interno do servidor: %1").arg(QString::fromUtf8(e.what()))};
        }
        // However the database put it, a read stopped at the call's limit
        // is told so.
        if (CallDeadline::expired())
            m_failure = {ErrorLimit, CallDeadline::message()};
        return -1;
    }
    Failure failure() const override { return m_failure; }

private:
    PacketReader m_reader;
    Cursor m_cursor;
    Failure m_failure;
    bool m_done = false;
};

// The statement, its values bound by name, run through the generic query.
static QSqlQuery runBound(const Storage &storage, const QString &sql,
                          const QList<std::pair<QString, QVariant>> &binds, const QString &doing)
{
    QSqlQuery query = storage.prepare(sql);
    for (const auto &[name, value] : binds)
        query.bindValue(name, value);
    storage.exec(query, doing);
    return query;
}

DataPacketPtr PacketReader::read(QSqlQuery &query) const
{
    QueryCursor cursor(query);
    return fill(cursor);
}

DataPacketPtr PacketReader::read(const Storage &storage, const QString &sql,
                                 const QList<std::pair<QString, QVariant>> &binds,
                                 const QString &doing) const
{
    if (sqlite3 *db = nativeSqlite(storage)) {
        SqliteCursor cursor(db, sql, binds, doing);
        return fill(cursor);
    }
    QSqlQuery query = runBound(storage, sql, binds, doing);
    return read(query);
}

std::shared_ptr<wire::RowSource>
PacketReader::stream(const Storage &storage, const QString &sql,
                     const QList<std::pair<QString, QVariant>> &binds, const QString &doing) const
{
    if (sqlite3 *db = nativeSqlite(storage))
        return std::make_shared<CursorRows<SqliteCursor>>(*this, db, sql, binds, doing);
    return std::make_shared<CursorRows<OwnedQueryCursor>>(
        *this, runBound(storage, sql, binds, doing), doing);
}

template <class Cursor> DataPacketPtr PacketReader::fill(Cursor &cursor) const
{
    auto packet = std::make_shared<DataPacket>(m_fields);
    packet->reserve(m_reserve);
    fillInto(cursor, *packet, -1);
    return packet;
}

template <class Cursor>
int PacketReader::fillInto(Cursor &cursor, DataPacket &packet, int rows) const
{

    struct Source
    {
        int field;
        int column; // in the select list
        FieldType type;
        // The date-time text read last and what it meant: the dates of a
        // period repeat from row to row.
        QString lastText;
        qint64 lastMs = 0;
        bool lastValid = false;
    };
    std::vector<Source> sources;
    QList<int> constantFields;
    int column = 0;
    for (int f = 0; f < m_fields.size(); ++f) {
        if (m_constants[f].isValid())
            constantFields << f; // the first row converts, the others copy it
        else
            sources.push_back({f, column++, m_fields[f].type, {}, 0, false});
    }

    QList<QString> texts(m_fields.size());
    for (int f : constantFields)
        texts[f] = m_constants[f].toString();
    DataPacket &p = packet;
    int read = 0;
    while (read != rows && cursor.next()) {
        ++read;
        const int row = p.appendRow();
        for (Source &s : sources) {
            if (!cursor.load(s.column))
                continue;
            switch (s.type) {
            case FieldType::String:
                p.setString(row, s.field, cursor.text());
                break;
            case FieldType::Float:
                p.setReal(row, s.field, cursor.real());
                break;
            case FieldType::Integer:
                p.setInteger(row, s.field, cursor.integer());
                break;
            case FieldType::Boolean:
                p.setBoolean(row, s.field, cursor.integer() != 0);
                break;
            case FieldType::DateTime: {
                const QStringView text = cursor.text();
                if (text != s.lastText || s.lastText.isNull()) {
                    s.lastText = text.toString();
                    s.lastValid = SqlDialect::parseDateTimeText(text, &s.lastMs);
                }
                if (s.lastValid)
                    p.setDateTimeMs(row, s.field, s.lastMs);
                break;
            }
            }
        }
        for (int f : constantFields) {
            if (row == 0 || p.isNull(0, f))
                p.setValue(row, f, m_constants[f]);
            else if (m_fields[f].type == FieldType::String)
                p.setString(row, f, texts[f]); // never a view into the arena it grows
            else if (m_fields[f].type == FieldType::Float)
                p.setReal(row, f, p.real(0, f));
            else
                p.setInteger(row, f, p.integer(0, f));
        }
    }
    return read;
}

} // namespace prx::server
