#include "FilterIndex.h"

#include <algorithm>

namespace prx {

void FilterIndex::KeyBuilder::add(QStringView part)
{
    // The length goes first, so that no text can pass for two parts.
    const qsizetype n = part.size();
    m_key.append(QChar(char16_t(n & 0xFFFF)));
    m_key.append(QChar(char16_t((n >> 16) & 0xFFFF)));
    m_key.append(part);
}

void FilterIndex::clear()
{
    m_buckets.clear();
    m_fields.clear();
    m_built = false;
}

void FilterIndex::build(const QList<int> &fields, int rowCount,
                        const std::function<QString(int)> &keyOf)
{
    clear();
    m_fields = fields;
    for (int row = 0; row < rowCount; ++row)
        m_buckets[keyOf(row)].push_back(row);
    m_built = true;
}

const std::vector<int> *FilterIndex::rows(const QString &key) const
{
    const auto it = m_buckets.constFind(key);
    return it == m_buckets.constEnd() ? nullptr : &it.value();
}

void FilterIndex::add(const QString &key, int row)
{
    std::vector<int> &bucket = m_buckets[key];
    bucket.insert(std::lower_bound(bucket.begin(), bucket.end(), row), row);
}

void FilterIndex::remove(const QString &key, int row)
{
    const auto it = m_buckets.find(key);
    if (it == m_buckets.end())
        return;
    std::vector<int> &bucket = it.value();
    const auto pos = std::lower_bound(bucket.begin(), bucket.end(), row);
    if (pos != bucket.end() && *pos == row)
        bucket.erase(pos);
    if (bucket.empty())
        m_buckets.erase(it);
}

void FilterIndex::rowInserted(int at)
{
    for (std::vector<int> &bucket : m_buckets) {
        for (auto it = std::lower_bound(bucket.begin(), bucket.end(), at); it != bucket.end(); ++it)
            ++*it;
    }
}

void FilterIndex::rowRemoved(int at)
{
    for (std::vector<int> &bucket : m_buckets) {
        for (auto it = std::upper_bound(bucket.begin(), bucket.end(), at); it != bucket.end(); ++it)
            --*it;
    }
}

qint64 FilterIndex::bytesUsed() const
{
    qint64 total = qint64(m_buckets.capacity()) * qint64(sizeof(void *) * 2);
    for (auto it = m_buckets.cbegin(); it != m_buckets.cend(); ++it) {
        total += qint64(sizeof(QString) + sizeof(std::vector<int>) + 2 * sizeof(void *));
        total += qint64(it.key().capacity()) * 2 + 16;
        total += qint64(it.value().capacity() * sizeof(int));
    }
    return total;
}

} // namespace prx
