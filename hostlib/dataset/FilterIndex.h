#pragma once

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
    // appendKey(row, key) writes the row's key into an empty string.
    void build(const QList<int> &fields, int rowCount,
               const std::function<void(int, QString &)> &appendKey);

    // nullptr when no row has that key.
    const std::vector<int> *rows(const QString &key) const;

    void add(const QString &key, int row);
    void remove(const QString &key, int row);
    // Storage rows at or after `at` moved one down or up.
    void rowInserted(int at);
    void rowRemoved(int at);

    qint64 bytesUsed() const;

private:
    QList<int> m_fields;
    QHash<QString, std::vector<int>> m_buckets;
    // No bucket holds a row past this one: a row added at the end of the
    // storage (every new row) then moves nothing, without visiting each
    // bucket (one per product on a large period).
    int m_lastRow = -1;
    bool m_built = false;
};

} // namespace prx
