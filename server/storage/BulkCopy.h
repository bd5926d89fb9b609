#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace prx::server {

class Storage;

// Rows for one PostgreSQL table, gathered in COPY's text format and sent in
// one COPY … FROM STDIN inside the caller's transaction: the fastest way in
// for many rows (no statement per row, no parameters to parse). The caller
// fills rows column by column and decides when to send, so that rows that
// reference others go in after them.
//
// COPY needs the connection to itself: no query of the same connection may
// still be reading its rows when send() runs.
class BulkCopy
{
public:
    // Whether `storage` takes COPY (PostgreSQL only).
    static bool available(const Storage &storage);

    BulkCopy(const Storage &storage, const QString &table, const QStringList &columns,
             const QString &doing);

    // The values of one row, in column order; then endRow().
    void null();
    void text(QStringView value);
    void real(double value);
    void integer(qint64 value);
    void endRow();

    qint64 pendingRows() const { return m_rows; }
    qint64 pendingBytes() const { return m_data.size(); }
    // Sends what is gathered (nothing when nothing is); rows copied. A
    // refusal of the database becomes the same ServerError a statement's
    // would.
    qint64 send();

private:
    void separate();

    const Storage &m_storage;
    QByteArray m_command;
    QString m_doing;
    QByteArray m_data;
    qint64 m_rows = 0;
    bool m_rowStarted = false;
};

} // namespace prx::server
