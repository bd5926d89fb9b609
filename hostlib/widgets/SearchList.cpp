#include "SearchList.h"

#include "dataset/DataSource.h"

#include <QSet>

namespace prx {

namespace {
constexpr int keyWidth = 10;
}

QString listText(const QStringList &keys)
{
    QString out;
    for (const QString &key : keys) {
        out += QLatin1Char('_');
        out += key.leftJustified(keyWidth, QLatin1Char(' '));
    }
    return out;
}

QStringList listKeys(const QString &list)
{
    QStringList keys;
    int p = list.indexOf(QLatin1Char('_'));
    if (p < 0) {
        const QString key = list.trimmed();
        if (!key.isEmpty())
            keys.append(key);
        return keys;
    }
    while (p >= 0 && p + 1 < list.size()) {
        // The key runs to the next "_" that starts a key, and at least its
        // padded width, so a key holding "_" itself stays whole.
        int next = list.indexOf(QLatin1Char('_'), p + 1 + keyWidth);
        const int end = next < 0 ? int(list.size()) : next;
        const QString key = list.mid(p + 1, end - p - 1).trimmed();
        if (!key.isEmpty())
            keys.append(key);
        p = next;
    }
    return keys;
}

bool ValidEx(DataSource &source, const QString &keyField, const QString &list, QString *bad)
{
    if (bad)
        bad->clear();
    const QStringList keys = listKeys(list);
    if (keys.isEmpty())
        return true;
    QSet<QString> present;
    ClientDataSet *ds = source.dataSet();
    if (ds && ds->isActive()) {
        const Field &field = ds->fieldByName(keyField);
        const int count = ds->recordCount();
        present.reserve(count);
        for (int r = 0; r < count; ++r)
            present.insert(field.plainText(ds->valueAt(r, field.index())).trimmed());
    }
    for (const QString &key : keys) {
        if (!present.contains(key)) {
            if (bad)
                *bad = key;
            return false;
        }
    }
    return true;
}

} // namespace prx
