#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace prx {

// Rows of a dataset grouped by the texts of a set of fields, so that a filter
// on those fields is one hash lookup however many rows there are. Buckets
// hold storage row numbers in ascending order, which is the natural order of
// the rows.
//
// A large period holds about a hundred thousand buckets of ten rows each, so a
// bucket is kept small: rows that follow one another (as they come from the
// server, grouped by product) are a run of two numbers instead of a list, and
// the key is stored in one byte a character when it is plain ASCII.
class FilterIndex
{
public:
    // A key is the texts of the indexed fields in field order, each led by
    // its length so that no text can pass for two. A part is written between
    // beginPart and endPart, straight into the key.
    static qsizetype beginPart(QString &key);
    static void endPart(QString &key, qsizetype at);
    static void appendPart(QString &key, QStringView part);

    bool isBuilt() const { return m_built; }
    const QList<int> &fields() const { return m_fields; }
    void clear();
    // appendKey(row, key) writes the row's key into an empty string;
    // sameAsPrevious(row) tells, cheaply, that a row has the key of the row
    // before it, so that its key need not be written.
    void build(const QList<int> &fields, int rowCount,
               const std::function<void(int, QString &)> &appendKey,
               const std::function<bool(int)> &sameAsPrevious = {});

    // The rows with that key, ascending; empty when there are none.
    void rowsInto(const QString &key, std::vector<int> &out) const;

    void add(const QString &key, int row);
    void remove(const QString &key, int row);
    // Storage rows at or after `at` moved one down or up.
    void rowInserted(int at);
    void rowRemoved(int at);

    qint64 bytesUsed() const;

private:
    struct Bucket
    {
        // The rows: the run [first, first + count) while `listed` is false,
        // else `rows`.
        int first = 0;
        int count = 0;
        bool listed = false;
        std::vector<int> rows;
        void list();
    };
    static QByteArray storedKey(QStringView key);
    QList<int> m_fields;
    QHash<QByteArray, Bucket> m_buckets;
    // No bucket holds a row past this one: a row added at the end of the
    // storage (every new row) then moves nothing, without visiting each
    // bucket (one per product on a large period).
    int m_lastRow = -1;
    bool m_built = false;
};

} // namespace prx
