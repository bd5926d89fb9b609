#include "DataSetFixture.h"
#include "dataset/DataSetError.h"

#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {

// Price items in miniature, with the formats and handlers the item screen
// puts on its fields.
std::unique_ptr<ClientDataSet> makeItems()
{
    auto ds = std::make_unique<ClientDataSet>();
    ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
    ds->addField(QStringLiteral("VRPRECITEM"), FieldType::Float).setDisplayFormat("#,##0.00");
    ds->addField(QStringLiteral("VRCUSTITEM"), FieldType::Float).setDisplayFormat("0.000");
    ds->addField(QStringLiteral("VRPRECITEMDLV"), FieldType::Float);
    Field &flag = ds->addField(QStringLiteral("IDPRECVARIA"), FieldType::String, 1);
    flag.onGetText = [](Field &f, QString &text, bool) {
        if (f.asString() == u"S")
            text = QStringLiteral("Sim");
        else if (f.asString() == u"N")
            text = QStringLiteral("Não");
    };
    flag.onSetText = [](Field &f, const QString &text) {
        if (text == u"Sim")
            f.setAsString(QStringLiteral("S"));
        else if (text == u"Não")
            f.setAsString(QStringLiteral("N"));
    };
    Field &hour = ds->addField(QStringLiteral("HRINIVENPROD"), FieldType::String, 4);
    hour.onGetText = [](Field &f, QString &text, bool) {
        const QString v = f.asString();
        if (!v.isEmpty())
            text = v.left(2) + u':' + v.mid(2, 2);
    };
    ds->addField(QStringLiteral("DTINIVGPREC"), FieldType::DateTime);
    ds->loadPacket(makePacket(
        {{"CDPRODUTO", FieldType::String, 10},
         {"VRPRECITEM", FieldType::Float, 0},
         {"VRCUSTITEM", FieldType::Float, 0},
         {"VRPRECITEMDLV", FieldType::Float, 0},
         {"IDPRECVARIA", FieldType::String, 1},
         {"HRINIVENPROD", FieldType::String, 4},
         {"DTINIVGPREC", FieldType::DateTime, 0}},
        {{"A", 1234.56, 0.0, 12.5, "S", "1730", wallClock(QDate(2026, 2, 1))},
         {"B", -3.456, 2.0, QVariant(), "N", "", QVariant()},
         {"C", 0.0, 1.23456, 7.0, "X", "0800", wallClock(QDate(2026, 3, 9), QTime(8, 30))}}));
    return ds;
}

} // namespace

class TestDataSetFields : public QObject
{
    Q_OBJECT

private slots:
    // Grids read every row's text through the fields' formats and handlers,
    // and each handler must see the row being painted, not the current one.
    void displayTextsPerRow_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("grouped price") << "VRPRECITEM" << QStringList{"1.234,56", "-3,46", "0,00"};
        QTest::newRow("three decimals") << "VRCUSTITEM" << QStringList{"0,000", "2,000", "1,235"};
        QTest::newRow("no format") << "VRPRECITEMDLV" << QStringList{"12,5", "", "7"};
        QTest::newRow("code to word") << "IDPRECVARIA" << QStringList{"Sim", "Não", ""};
        QTest::newRow("hour") << "HRINIVENPROD" << QStringList{"17:30", "", "08:00"};
        QTest::newRow("date") << "DTINIVGPREC"
                              << QStringList{"01/02/2026", "", "09/03/2026 08:30:00"};
    }
    void displayTextsPerRow()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, texts);
        auto ds = makeItems();
        ds->moveTo(1);
        const int index = ds->fieldByName(field).index();
        QStringList shown;
        for (int r = 0; r < ds->recordCount(); ++r)
            shown << ds->displayTextAt(r, index);
        QCOMPARE(shown, texts);
        QCOMPARE(ds->currentRow(), 1);
        QCOMPARE(ds->fieldByName(field).displayText(), texts[1]);
    }

    // Typed text goes through the set-text handler or is parsed for the
    // field's type; a text that is not a value is refused and changes nothing.
    void typedText()
    {
        auto ds = makeItems();
        ds->edit();
        Field &price = ds->fieldByName(u"VRPRECITEM");
        price.setText(QStringLiteral("2.345,67"));
        QCOMPARE(price.asFloat(), 2345.67);
        QCOMPARE(price.editText(), QStringLiteral("2.345,67"));
        QVERIFY_THROWS_EXCEPTION(DataSetError, price.setText(QStringLiteral("12,3,4")));
        QCOMPARE(price.asFloat(), 2345.67);
        ds->fieldByName(u"VRPRECITEMDLV").setText(QStringLiteral("  "));
        QVERIFY(ds->fieldByName(u"VRPRECITEMDLV").isNull());

        Field &flag = ds->fieldByName(u"IDPRECVARIA");
        flag.setText(QStringLiteral("Não"));
        QCOMPARE(flag.asString(), QStringLiteral("N"));
        flag.setText(QStringLiteral("Talvez"));
        QCOMPARE(flag.asString(), QStringLiteral("N"));

        Field &date = ds->fieldByName(u"DTINIVGPREC");
        date.setText(QStringLiteral("28/02/2026"));
        QCOMPARE(date.asDateTime(), wallClock(QDate(2026, 2, 28)));
        try {
            date.setText(QStringLiteral("31/02/2026"));
            QFAIL("impossible date accepted");
        } catch (const DataSetError &e) {
            QCOMPARE(e.message(), QStringLiteral("'31/02/2026' não é uma data válida."));
        }
        QCOMPARE(date.asDateTime(), wallClock(QDate(2026, 2, 28)));
        // a fixed-size code keeps its size, as its column on the server
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("12345678901234"));
        QCOMPARE(ds->fieldByName(u"CDPRODUTO").asString(), QStringLiteral("1234567890"));
        ds->post();
        QCOMPARE(ds->data().real(0, ds->data().indexOf(u"VRPRECITEM")), 2345.67);
    }

    // Calculated fields are computed for every row, again after a post or
    // cancel of that row, from the row being calculated; they cannot be
    // written outside the calculation and stay out of the delta.
    void calculatedFields()
    {
        auto ds = std::make_unique<ClientDataSet>();
        ds->addField(QStringLiteral("DTINIVGPREC"), FieldType::DateTime);
        ds->addField(QStringLiteral("DTFINVGPREC"), FieldType::DateTime);
        ds->addCalculatedField(QStringLiteral("Situacao"), FieldType::String, 10);
        QDateTime today = wallClock(QDate(2026, 6, 15));
        int runs = 0;
        ds->onCalcFields = [&](ClientDataSet &d) {
            ++runs;
            const QDateTime start = d.fieldByName(u"DTINIVGPREC").asDateTime();
            const QDateTime end = d.fieldByName(u"DTFINVGPREC").asDateTime();
            const bool active = end.isValid() && start <= today && today <= end;
            d.fieldByName(u"Situacao")
                .setAsString(active ? QStringLiteral("Ativa") : QStringLiteral("Inativa"));
        };
        ds->loadPacket(makePacket(
            {{"DTINIVGPREC", FieldType::DateTime, 0}, {"DTFINVGPREC", FieldType::DateTime, 0}},
            {{wallClock(QDate(2026, 1, 1)), wallClock(QDate(2026, 5, 31))},
             {wallClock(QDate(2026, 6, 1)), wallClock(QDate(2026, 6, 30))},
             {wallClock(QDate(2026, 7, 1)), QVariant()}}));
        QCOMPARE(runs, 3);
        QCOMPARE(column(*ds, QStringLiteral("Situacao")),
                 QVariantList({"Inativa", "Ativa", "Inativa"}));
        QVERIFY_THROWS_EXCEPTION(DataSetError,
                                 ds->fieldByName(u"Situacao").setAsString(QStringLiteral("x")));

        ds->moveTo(2);
        ds->edit();
        ds->fieldByName(u"DTINIVGPREC").setAsString(QStringLiteral("01/06/2026"));
        ds->fieldByName(u"DTFINVGPREC").setAsString(QStringLiteral("30/06/2026"));
        ds->post();
        QCOMPARE(ds->fieldByName(u"Situacao").asString(), QStringLiteral("Ativa"));
        ds->edit();
        ds->fieldByName(u"Situacao").setAsString(QStringLiteral("rascunho"));
        ds->cancel();
        QCOMPARE(ds->fieldByName(u"Situacao").asString(), QStringLiteral("Ativa"));
        ds->sortBy(u"Situacao");
        QCOMPARE(column(*ds, QStringLiteral("Situacao")),
                 QVariantList({"Ativa", "Ativa", "Inativa"}));
        QCOMPARE(ds->delta().fields.size(), 2);
        QCOMPARE(ds->delta().changes.first().current.size(), 2);

        // A filter on a calculated field follows every recalculation.
        ds->setFilter(QStringLiteral("Situacao = 'Ativa'"));
        ds->setFiltered(true);
        QCOMPARE(ds->recordCount(), 2);
        ds->setFiltered(false);
        today = wallClock(QDate(2026, 3, 1));
        QVERIFY(ds->locate(u"DTINIVGPREC", wallClock(QDate(2026, 1, 1))));
        ds->edit();
        ds->cancel(); // recalculated: now in force
        ds->setFiltered(true);
        QCOMPARE(ds->recordCount(), 3);
        ds->cancelUpdates(); // the July period is back without an end
        QCOMPARE(ds->recordCount(), 2);
        QVERIFY(!ds->locate(u"DTINIVGPREC", wallClock(QDate(2026, 7, 1))));
    }

    // Loading maps columns by name, takes the packet's storage without a
    // copy, gives a field without a column nulls it can later hold, and
    // converts a column of another type.
    void loadMapsColumnsByName()
    {
        auto ds = std::make_unique<ClientDataSet>();
        ds->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 30);
        ds->addField(QStringLiteral("NRCOMPPROD"), FieldType::Float);
        ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
        ds->addField(QStringLiteral("OBS"), FieldType::String, 20);
        DataPacket packet = makePacket({{"cdproduto", FieldType::String, 10},
                                        {"EXTRA", FieldType::String, 5},
                                        {"NRCOMPPROD", FieldType::Integer, 0},
                                        {"NMPRODUTO", FieldType::String, 30}},
                                       {{"A1", "x", 2, "Combo"}, {"B2", "y", QVariant(), "Suco"}});
        const char16_t *names = packet.stringView(0, 3).utf16();
        ds->loadPacket(std::move(packet));
        QCOMPARE(ds->data().stringView(0, 3).utf16(), names);
        QCOMPARE(ds->fieldByName(u"CDPRODUTO").asString(), QStringLiteral("A1"));
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Combo"));
        QCOMPARE(ds->fieldByName(u"NRCOMPPROD").value(), QVariant(2.0));
        QVERIFY(ds->fieldByName(u"OBS").isNull());
        ds->edit();
        ds->fieldByName(u"OBS").setAsString(QStringLiteral("nota"));
        ds->fieldByName(u"NRCOMPPROD").setAsFloat(2.5);
        ds->post();
        const DeltaPacket delta = ds->delta();
        QCOMPARE(delta.fields.size(), 4);
        QCOMPARE(delta.changes.first().current, QVariantList({"Combo", 2.5, "A1", "nota"}));
        QCOMPARE(delta.changes.first().original, QVariantList({"Combo", 2.0, "A1", QVariant()}));
    }

    // A dataset without fields takes the packet's columns and drops them on
    // close, so the next packet may have others.
    void fieldsFromThePacket()
    {
        ClientDataSet ds;
        ds.loadPacket(makePacket({{"CDTABEPREC", FieldType::String, 3}}, {{"001"}, {"002"}}));
        QCOMPARE(ds.fieldCount(), 1);
        QCOMPARE(ds.fieldByName(u"cdtabeprec").asString(), QStringLiteral("001"));
        ds.loadPacket(makePacket(
            {{"CDPRODUTO", FieldType::String, 10}, {"QT", FieldType::Float, 0}}, {{"P", 1.5}}));
        QCOMPARE(ds.fieldCount(), 2);
        QVERIFY(!ds.findField(u"CDTABEPREC"));
        QCOMPARE(ds.fieldByName(u"QT").asFloat(), 1.5);
        ds.close();
        QCOMPARE(ds.fieldCount(), 0);
    }

    // A copy is independent of its source and leaves out a row that is only
    // being inserted there.
    void copyDataFrom()
    {
        auto source = makePrices(3);
        source->moveTo(1);
        source->insert();
        source->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("ainda não"));
        ClientDataSet copy;
        copy.copyDataFrom(*source);
        QCOMPARE(column(copy, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 0", "Item 1", "Item 2"}));
        copy.edit();
        copy.fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("só na cópia"));
        copy.post();
        source->cancel();
        QCOMPARE(source->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 1"));
        source->first();
        QCOMPARE(source->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 0"));
    }
};

QTEST_GUILESS_MAIN(TestDataSetFields)
#include "tst_datasetfields.moc"
