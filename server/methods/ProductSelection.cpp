#include "methods/ProductSelection.h"

#include "methods/BulkWriter.h"
#include "storage/Storage.h"

#include <algorithm>

namespace prx::server {

QStringList productListKeys(const QString &list)
{
    QStringList keys;
    if (!list.contains(u'_')) {
        const QString only = list.trimmed();
        if (!only.isEmpty())
            keys << only;
        return keys;
    }
    qsizetype at = list.indexOf(u'_');
    while (at >= 0 && at + 1 < list.size()) {
        const QString key = list.mid(at + 1, 10).trimmed();
        if (!key.isEmpty())
            keys << key;
        at = list.indexOf(u'_', at + 11);
    }
    return keys;
}

void fillSelection(const Storage &storage, const QStringList &codes)
{
    storage.execDirect(
        QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (CDPRODUTO VARCHAR(10) PRIMARY KEY)")
            .arg(kSelectionTable));
    storage.execDirect(QStringLiteral("DELETE FROM %1").arg(kSelectionTable));
    BulkWriter writer(
        storage,
        QStringLiteral("INSERT INTO %1 (CDPRODUTO) VALUES (:c0) ON CONFLICT DO NOTHING")
            .arg(kSelectionTable),
        QStringLiteral("INSERT INTO %1 (CDPRODUTO) SELECT DISTINCT u.c FROM "
                       "unnest(CAST(:c0 AS TEXT[])) AS u(c) ON CONFLICT DO NOTHING")
            .arg(kSelectionTable),
        {BulkWriter::Kind::Text}, {}, QStringLiteral("gravar a lista de produtos"));
    for (const QString &code : codes) {
        writer.text(code);
        writer.endRow();
    }
    writer.finish();
}

int leafCodeLength(const Storage &storage, const QString &levelsText)
{
    bool ok = false;
    const int levels = levelsText.toInt(&ok);
    if (!ok || levels < 1 || levels > 20 || levelsText != QString::number(levels)) {
        throw ServerError(QStringLiteral("Número de níveis da árvore de produtos inválido: \"%1\".")
                              .arg(levelsText),
                          ErrorArguments);
    }
    QSqlQuery q =
        runQuery(storage,
                 QStringLiteral(
                     "SELECT COUNT(*), SUM(NRDIGITOS) FROM PARAMARVPROD WHERE NRNIVEL <= :levels"),
                 {{QStringLiteral(":levels"), levels}},
                 QStringLiteral("ler os níveis da árvore de produtos"));
    if (!q.next() || q.value(0).toInt() != levels) {
        throw ServerError(QStringLiteral("A árvore de produtos não tem %1 níveis.").arg(levels),
                          ErrorArguments);
    }
    return q.value(1).toInt();
}

void requirePeriod(const Storage &storage, const QVariant &branch, const QVariant &table,
                   const QDateTime &start)
{
    if (!queryHasRows(storage,
                      QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = :branch AND "
                                     "CDTABEPREC = :table AND DTINIVGPREC = :start"),
                      {{QStringLiteral(":branch"), branch},
                       {QStringLiteral(":table"), table},
                       {QStringLiteral(":start"), SqlDialect::bindDateTime(start)}})) {
        throw ServerError(QStringLiteral("Vigência %1 da tabela %2 da filial %3 não cadastrada.")
                              .arg(dateText(start), table.toString(), branch.toString()));
    }
}

QString productLabel(const Storage &storage, const QString &code)
{
    QSqlQuery q = runQuery(
        storage, QStringLiteral("SELECT CDARVPROD, NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :code"),
        {{QStringLiteral(":code"), code}}, QStringLiteral("ler o produto"));
    if (!q.next())
        return code;
    return QStringLiteral("%1 %2 (%3)").arg(q.value(0).toString(), q.value(1).toString(), code);
}

void SkippedProducts::add(const QString &code, const QString &tree, const QString &name,
                          const QString &reason)
{
    m_rows.append({code, tree, name, reason});
}

DataPacketPtr SkippedProducts::packet() const
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                        {QStringLiteral("CDARVPROD"), FieldType::String, 20},
                        {QStringLiteral("NMPRODUTO"), FieldType::String, 50},
                        {QStringLiteral("DSMOTIVO"), FieldType::String, 80}});
    QList<QStringList> rows = m_rows;
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) {
        return a[1] != b[1] ? a[1] < b[1] : a[0] < b[0];
    });
    for (const QStringList &row : rows) {
        const int r = packet->appendRow();
        for (int c = 0; c < 4; ++c)
            packet->setString(r, c, row[c]);
    }
    return packet;
}

QVariant SkippedProducts::answer(qint64 written) const
{
    return QVariantList{written, count(), QVariant::fromValue(packet())};
}

} // namespace prx::server
