#include "DataSetFixture.h"

namespace prx::test {

DataPacket makePacket(const QList<FieldDef> &fields, const QList<QVariantList> &rows)
{
    DataPacket packet(fields);
    for (const QVariantList &values : rows)
        packet.setRowValues(packet.appendRow(), values);
    return packet;
}

std::unique_ptr<ClientDataSet> makePrices(int rows, int products)
{
    auto ds = std::make_unique<ClientDataSet>();
    ds->addField(QStringLiteral("CDFILIAL"), FieldType::String, 4);
    ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    ds->addField(QStringLiteral("DTINIVGPREC"), FieldType::DateTime);
    ds->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 30);
    ds->addField(QStringLiteral("VRPRECO"), FieldType::Float);
    QList<QVariantList> data;
    for (int i = 0; i < rows; ++i) {
        data.append({QStringLiteral("0001"), QStringLiteral("P%1").arg(i % products),
                     wallClock(QDate(2026, 2, 1 + i % 2)), QStringLiteral("Item %1").arg(i),
                     double(i) + 0.5});
    }
    ds->loadPacket(makePacket({{"CDFILIAL", FieldType::String, 4},
                               {"CDPRODUTO", FieldType::String, 10},
                               {"DTINIVGPREC", FieldType::DateTime, 0},
                               {"NMPRODUTO", FieldType::String, 30},
                               {"VRPRECO", FieldType::Float, 0}},
                              data));
    return ds;
}

Snapshot snapshot(const ClientDataSet &ds)
{
    Snapshot s{ds.state(), ds.currentRow(), ds.recordCount(), ds.changeCount(), {}, {}, {}};
    for (int i = 0; i < ds.fieldCount(); ++i)
        s.buffer.append(ds.field(i).value());
    for (int r = 0; r < ds.recordCount(); ++r) {
        QVariantList row;
        for (int i = 0; i < ds.fieldCount(); ++i)
            row.append(ds.valueAt(r, i));
        s.rows.append(row);
    }
    if (ds.isActive())
        s.delta = ds.delta();
    return s;
}

QVariantList column(const ClientDataSet &ds, const QString &field)
{
    QVariantList out;
    const int index = ds.fieldByName(field).index();
    for (int r = 0; r < ds.recordCount(); ++r)
        out.append(ds.valueAt(r, index));
    return out;
}

} // namespace prx::test
