#include "methods/TransferSupport.h"

#include "storage/Storage.h"

namespace prx::server {

namespace {
constexpr int kListKeyWidth = 10; // the width the search pads each key to
constexpr int kMaxKeyLength = 20; // the longest code a list can carry
constexpr int kKeysPerInsert = 200;
} // namespace

QStringList parseKeyList(const QString &text, const QString &what)
{
    QStringList keys;
    auto take = [&](const QString &key) {
        if (key.isEmpty())
            return;
        if (key.size() > kMaxKeyLength) {
            throw ServerError(
                QStringLiteral("Lista de %1 inválida: o código \"%2\" é longo demais.")
                    .arg(what, key.left(kMaxKeyLength)),
                ErrorArguments);
        }
        keys.append(key);
    };
    int p = text.indexOf(u'_');
    if (p < 0) {
        take(text.trimmed());
        return keys;
    }
    if (!text.left(p).trimmed().isEmpty())
        throw ServerError(QStringLiteral("Lista de %1 inválida.").arg(what), ErrorArguments);
    while (p >= 0 && p + 1 < text.size()) {
        // A key runs at least its padded width, so a "_" inside it stays.
        const int next = text.indexOf(u'_', p + 1 + kListKeyWidth);
        const int end = next < 0 ? int(text.size()) : next;
        take(text.mid(p + 1, end - p - 1).trimmed());
        p = next;
    }
    return keys;
}

void fillKeyTable(const Storage &db, const QString &table, const QStringList &keys)
{
    db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 "
                                 "(CDCHAVE VARCHAR(%2) NOT NULL PRIMARY KEY)")
                      .arg(table)
                      .arg(kMaxKeyLength));
    db.execDirect(QStringLiteral("DELETE FROM %1").arg(table));
    auto statement = [&](qsizetype rows) {
        QStringList values;
        for (qsizetype i = 0; i < rows; ++i)
            values << QStringLiteral("(:k%1)").arg(i);
        return db.prepare(
            QStringLiteral("INSERT INTO %1 (CDCHAVE) VALUES %2 ON CONFLICT DO NOTHING")
                .arg(table, values.join(u", ")));
    };
    QSqlQuery full;
    bool fullReady = false;
    for (qsizetype from = 0; from < keys.size(); from += kKeysPerInsert) {
        const qsizetype rows = std::min<qsizetype>(kKeysPerInsert, keys.size() - from);
        QSqlQuery partial;
        if (rows == kKeysPerInsert && !fullReady) {
            full = statement(rows);
            fullReady = true;
        } else if (rows != kKeysPerInsert) {
            partial = statement(rows);
        }
        QSqlQuery &q = rows == kKeysPerInsert ? full : partial;
        for (qsizetype i = 0; i < rows; ++i)
            q.bindValue(QStringLiteral(":k%1").arg(i), keys[from + i]);
        db.exec(q, QStringLiteral("preparar a lista de códigos"));
    }
}

QString SqlParams::add(const QVariant &value)
{
    const QString name = QStringLiteral(":p%1").arg(m_binds.size());
    m_binds.append({name, value});
    return name;
}

QList<Period> tablePeriods(const Storage &db, const QString &branch, const QString &table)
{
    const SqlDialect &d = db.dialect();
    QSqlQuery q = runQuery(db,
                           QStringLiteral("SELECT %1, %2, IDSITVGPREC FROM TABEVEND "
                                          "WHERE CDFILIAL = :branch AND CDTABEPREC = :table "
                                          "ORDER BY DTINIVGPREC")
                               .arg(d.selectDateTime(QStringLiteral("DTINIVGPREC")),
                                    d.selectDateTime(QStringLiteral("DTFINVGPREC"))),
                           {{QStringLiteral(":branch"), branch}, {QStringLiteral(":table"), table}},
                           QStringLiteral("ler os períodos de vigência"));
    QList<Period> periods;
    while (q.next()) {
        periods.append({SqlDialect::dateTimeFromText(q.value(0).toString()),
                        SqlDialect::dateTimeFromText(q.value(1).toString()),
                        q.value(2).toString()});
    }
    return periods;
}

QString periodText(const Period &period)
{
    return period.end.isValid()
               ? QStringLiteral("%1 a %2").arg(dateText(period.start), dateText(period.end))
               : dateText(period.start);
}

bool branchExists(const Storage &db, const QString &branch)
{
    return queryHasRows(db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = :branch"),
                        {{QStringLiteral(":branch"), branch}});
}

bool tableExists(const Storage &db, const QString &branch, const QString &table)
{
    return queryHasRows(
        db,
        QStringLiteral("SELECT 1 FROM TABEPREC WHERE CDFILIAL = :branch AND CDTABEPREC = :table"),
        {{QStringLiteral(":branch"), branch}, {QStringLiteral(":table"), table}});
}

QString branchSegment(const Storage &db, const QString &branch)
{
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT CDSEGMER FROM FILIAL WHERE CDFILIAL = :branch"),
                 {{QStringLiteral(":branch"), branch}}, QStringLiteral("ler o segmento da filial"));
    return q.next() ? q.value(0).toString() : QString();
}

} // namespace prx::server
