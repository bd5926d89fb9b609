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
    // Builds one key out of the texts of the indexed fields, in field order.
    class KeyBuilder
    {
    public:
        explicit KeyBuilder(int parts) { m_key.reserve(parts * 16); }
        void add(QStringView part);
        const QString &key() const { return m_key; }

    private:
        QString m_key;
    };

    bool isBuilt() const { return m_built; }
    const QList<int> &fields() const { return m_fields; }
    void clear();
    void build(const QList<int> &fields, int rowCount, const std::function<QString(int)> &keyOf);

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
    bool m_built = false;
};

} // namespace prx
