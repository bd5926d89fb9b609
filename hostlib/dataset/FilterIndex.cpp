#include "FilterIndex.h"

#include <algorithm>

namespace prx {

qsizetype FilterIndex::beginPart(QString &key)
{
    const qsizetype at = key.size();
    key.append(QChar(0));
    key.append(QChar(0));
    return at;
}

void FilterIndex::endPart(QString &key, qsizetype at)
{
    const qsizetype n = key.size() - at - 2;
    key[at] = QChar(char16_t(n & 0xFFFF));
    key[at + 1] = QChar(char16_t((n >> 16) & 0xFFFF));
}

void FilterIndex::appendPart(QString &key, QStringView part)
{
    const qsizetype at = beginPart(key);
    key.append(part);
    endPart(key, at);
}

void FilterIndex::clear()
{
    m_buckets.clear();
    m_fields.clear();
    m_lastRow = -1;
    m_built = false;
}

void FilterIndex::build(const QList<int> &fields, int rowCount,
                        const std::function<void(int, QString &)> &appendKey)
{
    clear();
    m_fields = fields;
    // One key buffer for all rows: only a key seen for the first time is
    // copied into the hash. Rows come grouped by key from the server, so the
    // previous row's bucket is tried before the hash.
    QString key, previous;
    key.reserve(64);
    std::vector<int> *bucket = nullptr;
    for (int row = 0; row < rowCount; ++row) {
        key.resize(0);
        appendKey(row, key);
        if (!bucket || key != previous) {
            auto it = m_buckets.find(key);
            if (it == m_buckets.end())
                it = m_buckets.insert(QString(key.constData(), key.size()), {});
            bucket = &it.value();
            previous = QString(key.constData(), key.size());
        }
        bucket->push_back(row);
    }
    m_lastRow = rowCount - 1;
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
    m_lastRow = std::max(m_lastRow, row);
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
    if (at > m_lastRow)
        return;
    ++m_lastRow;
    for (std::vector<int> &bucket : m_buckets) {
        for (auto it = std::lower_bound(bucket.begin(), bucket.end(), at); it != bucket.end(); ++it)
            ++*it;
    }
}

void FilterIndex::rowRemoved(int at)
{
    if (at >= m_lastRow) {
        m_lastRow = std::min(m_lastRow, at - 1); // nothing held after it moves
        return;
    }
    --m_lastRow;
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
