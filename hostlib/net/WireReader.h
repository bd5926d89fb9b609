#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <QCborStreamReader>
#include <QStringDecoder>
#include <QVariant>

#include <algorithm>
#include <vector>

namespace prx::wire {

struct CutPacket;

// Reads wire values from one QCborStreamReader and trusts nothing: every item's
// type is checked, a declared length only bounds a reservation (never beyond
// what the remaining bytes could hold), nesting is limited, and the number of
// loose values a frame may expand into is capped. The first failure stops the
// reader and leaves its reason in error().
class WireReader
{
public:
    // end: the offset at which the input ends, when known.
    explicit WireReader(QCborStreamReader &reader, qint64 end = -1);

    // A packet of an answer's first frame may stop its rows early and say
    // how many it has in all ("more"): with a list here, such packets are
    // accepted and listed in the order read, for the pieces that follow.
    // Without one (requests, single frames), the mark is refused.
    void acceptCuts(std::vector<CutPacket> *cuts) { m_cuts = cuts; }
    // Rows of a list appended to the table, each checked against its fields.
    bool appendRows(DataPacket *table) { return rows(table); }

    bool value(QVariant *out) { return value(out, 0); }
    // Either kind of packet; *isDelta says which one was read.
    bool packet(DataPacket *data, DeltaPacket *delta, bool *isDelta);

    bool enterMap(const char *what);
    bool enterArray(const char *what);
    bool leave();
    // A reader in error stays on its item: a loop over a container must stop
    // there rather than take the same item again until the budget runs out.
    bool hasNext() const
    {
        return m_reader.lastError() == QCborError::NoError && m_reader.hasNext();
    }
    bool key(QString *key);
    bool text(QString *out, const char *what);
    bool integer(qint64 *out, const char *what);
    bool boolean(bool *out, const char *what);

    // Enters the map the reader is at and reads its entries, each of `keys`
    // at most once: read(i) reads the value of keys[i] and seen[i] records
    // that it came. Another or a repeated key is refused as
    // "<unexpected>: <key>". The map stays open for the caller to check what
    // came and leave it.
    template <size_t N, typename Read>
    bool keyedMap(const char *what, const QLatin1StringView (&keys)[N], const char *unexpected,
                  bool (&seen)[N], Read read)
    {
        if (!enterMap(what))
            return false;
        std::fill(seen, seen + N, false);
        while (hasNext()) {
            QString k;
            if (!key(&k))
                return false;
            size_t i = 0;
            while (i < N && (seen[i] || k != keys[i]))
                ++i;
            if (i == N)
                return fail(
                    QStringLiteral("%1: %2").arg(QString::fromUtf8(unexpected), k.left(40)));
            if (!read(i))
                return false;
            seen[i] = true;
        }
        return true;
    }

    bool fail(const QString &reason);
    const QString &error() const { return m_error; }

private:
    bool value(QVariant *out, int depth);
    bool fields(QList<FieldDef> *out);
    bool rows(DataPacket *table);
    bool changes(const QList<FieldDef> &fields, QList<DeltaChange> *out);
    bool cells(const QList<FieldDef> &fields, QVariantList *out);
    bool cellInto(DataPacket *table, int row, int column, FieldType type);
    bool cellValue(FieldType type, QVariant *out);
    // A date-time cell as it is read: wall-clock milliseconds.
    struct DateTimeMs
    {
        qint64 ms;
    };
    // Reads one non-null cell of the field's type and hands it to `store` as
    // a QStringView, double, DateTimeMs, qint64 or bool.
    template <typename Store> bool typedCell(FieldType type, Store &&store);

    bool next();
    bool real(double *out);
    bool dateTime(qint64 *msecs);
    bool utf8Text();
    QStringView lastText() const { return QStringView(m_utf16.data(), m_textLength); }
    qint64 remaining() const;
    qint64 reserveBound(quint64 declared, qint64 minItemBytes) const;
    bool failCell(const QString &reason);
    bool failType(const char *expected, const char *what);
    bool spend(qint64 values);

    QCborStreamReader &m_reader;
    std::vector<CutPacket> *m_cuts = nullptr; // not owned
    qint64 m_end;
    qint64 m_budget;
    QString m_error;
    std::vector<char> m_utf8;
    std::vector<char16_t> m_utf16;
    qsizetype m_textLength = 0;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

} // namespace prx::wire
