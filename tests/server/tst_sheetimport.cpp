// Import of a period's prices from a spreadsheet, through dispatch.
#include "ServerTestBase.h"

#include "sheet/CsvText.h"
#include "sheet/PeriodSheet.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestSheetImport : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // Exporting the period and importing the file untouched must change
    // nothing at all: not an unpriced product, not an empty delivery price,
    // not a flag, not a calculated price stored with a third decimal.
    void roundTripChangesNothing();
    // Each kind of bad row is refused with its reason and never written,
    // while the good row of the same file is.
    void badRowsAreNotWritten_data();
    void badRowsAreNotWritten();
    // Without the order to write (the user cancelled the preview), nothing
    // is written however many rows would change.
    void previewWritesNothing();
    // A file saved by a spreadsheet with "," separators, point decimals and
    // codes stripped of their zeros prices a new product; the differentiated
    // prices follow the new price.
    void spreadsheetFormsAndDayPrices();

private:
    Outcome import(const QString &csv, bool apply)
    {
        return call("SetItemPrecoPlanilha", {"0001", "001", day(-30), "3", csv, apply});
    }
    static DataPacketPtr linesOf(const Outcome &o)
    {
        return o.payload.toList().value(0).value<DataPacketPtr>();
    }
    // The period's stored prices, one text per row, to compare before/after.
    QVariantList snapshot(const QString &product = QString())
    {
        QStringList cols;
        for (const char *c : {"CDPRODUTO", "VRPRECITEM", "VRPRECITEMCL", "VRPRECITEMDLV",
                              "VRPRECITEMCMD", "VRPRESUGITEM", "VRCUSTITEM", "IDPRECVARIA",
                              "IDPRODPROMOC", "HRINIVENPROD", "HRFIMVENPROD"})
            cols << QStringLiteral("COALESCE(CAST(%1 AS TEXT), '~')").arg(QLatin1String(c));
        return column(QStringLiteral("SELECT %1 FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                                     "CDTABEPREC = '001' AND DTINIVGPREC = :start AND "
                                     "(:product = '' OR CDPRODUTO = :product) ORDER BY "
                                     "CDPRODUTO, CDPRPAITABPR")
                          .arg(cols.join(QStringLiteral(" || '|' || "))),
                      {{":start", day(-30)}, {":product", product}});
    }
    QVariant stored(const QString &product, const QString &column)
    {
        return scalar(QStringLiteral("SELECT %1 FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                                     "CDTABEPREC = '001' AND DTINIVGPREC = :start AND "
                                     "CDPRODUTO = :p AND CDPRPAITABPR = :p")
                          .arg(column),
                      {{":start", day(-30)}, {":p", product}});
    }
    // Plain products of the period with a price row, or without one.
    QStringList products(bool priced)
    {
        return [&] {
            QStringList out;
            const DataPacketPtr p =
                read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), "", "T"});
            for (int r = 0; r < p->rowCount(); ++r) {
                if (p->isNull(r, p->indexOf(u"VRPRECITEM")) != priced &&
                    value(*p, r, "NRCOMPPROD").toDouble() == 0)
                    out << value(*p, r, "CDPRODUTO").toString();
            }
            return out;
        }();
    }
};

void TestSheetImport::roundTripChangesNothing()
{
    QVERIFY(!products(false).isEmpty()); // unpriced products travel too
    // A calculated price stored before prices kept two decimals travels
    // back unchanged.
    const QString own = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :start AND "
                        "CDPRODUTO = :p";
    const Binds binds{{":start", day(-30)}, {":p", products(true).value(0)}};
    const auto legacy = keepValues("ITEMPRECO", {"VRCUSTITEM"}, own, binds);
    scalar("UPDATE ITEMPRECO SET VRCUSTITEM = 12.341 WHERE " + own, binds);
    const QVariantList before = snapshot();
    const DataPacketPtr items =
        read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), "", "T"});
    const QList<sheet::Sheet> sheets = sheet::periodSheets(*items);
    sheet::SheetRows rows{{}};
    for (const sheet::SheetColumn &c : sheets[0].columns)
        rows[0] << c.title;
    for (const QVariantList &values : sheets[0].rows) {
        QStringList row;
        for (qsizetype c = 0; c < values.size(); ++c)
            row << sheet::cellText(sheets[0].columns[c].kind, values[c]);
        rows << row;
    }
    const Outcome o = import(sheet::decodeCsv(sheet::writeCsv(rows)), true);
    QVERIFY2(o.ok, qPrintable(o.message));
    QCOMPARE(linesOf(o)->rowCount(), 0);
    QCOMPARE(o.payload.toList().value(1).toInt(), items->rowCount());
    QCOMPARE(snapshot(), before);
}

void TestSheetImport::badRowsAreNotWritten_data()
{
    QTest::addColumn<QString>(
        "row"); // %1 the product, with Preço, Hora Inicial, Hora Final, Pr. Variável
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown product") << "9999999999;5,00;;;Não"
                                     << "Produto desconhecido";
    QTest::newRow("bad number") << "%1;12,3,4;;;Não"
                                << "número inválido \"12,3,4\"";
    QTest::newRow("negative") << "%1;-1,00;;;Não"
                              << "Preço: valor negativo";
    QTest::newRow("above the limit") << "%1;999.999.999.999.999,00;;;Não"
                                     << "Preço: valor acima do limite";
    // Refused, not cut: the file would say one price and the table hold another.
    QTest::newRow("third decimal") << "%1;5,555;;;Não"
                                   << "Preço: mais de duas casas decimais \"5,555\"";
    QTest::newRow("hour not valid") << "%1;5,00;24:00;10:00;Não"
                                    << "Hora Inicial: hora inválida \"24:00\"";
    QTest::newRow("start hour missing") << "%1;5,00;;10:00;Não"
                                        << "Hora Inicial deve ser informada";
    QTest::newRow("bad flag") << "%1;5,00;;;talvez"
                              << "Pr. Variável: informe Sim ou Não";
    QTest::newRow("more cells than titles") << "%1;5,00;;;Não;1"
                                            << "mais colunas que o cabeçalho";
    QTest::newRow("product twice") << "%2;5,00;;;Não"
                                   << "Produto repetido (já na linha 2)";
}

void TestSheetImport::badRowsAreNotWritten()
{
    QFETCH(QString, row);
    QFETCH(QString, reason);
    const QStringList priced = products(true);
    const QString good = priced[0], bad = priced[1];
    const QVariantList badBefore = snapshot(bad);
    const double goodPrice = stored(good, "VRPRECITEM").toDouble() + 1;
    const QString csv =
        QStringLiteral("Código;Preço;Hora Inicial;Hora Final;Pr. Variável\r\n"
                       "%1;%2;;;Não\r\n")
            .arg(good, QString::number(goodPrice, 'f', 2).replace(u'.', u',')) +
        QString(row).replace(QStringLiteral("%1"), bad).replace(QStringLiteral("%2"), good) +
        QStringLiteral("\r\n");
    const Outcome o = import(csv, true);
    QVERIFY2(o.ok, qPrintable(o.message));
    const DataPacketPtr lines = linesOf(o);
    QCOMPARE(lines->rowCount(), 2);
    const int refused = findRow(*lines, "IDSITUACAO", "R");
    QVERIFY(refused >= 0);
    QCOMPARE(value(*lines, refused, "NRLINHA").toInt(), 3);
    const QString detail = value(*lines, refused, "DSDETALHE").toString();
    QVERIFY2(detail.contains(reason), qPrintable(detail));
    QCOMPARE(snapshot(bad), badBefore);
    QCOMPARE(stored(good, "VRPRECITEM").toDouble(), goodPrice);
}

void TestSheetImport::previewWritesNothing()
{
    const QStringList priced = products(true), unpriced = products(false);
    const QVariantList before = snapshot();
    const Outcome o =
        import(QStringLiteral("Código;Preço;Pr. Delivery\r\n%1;77,00;\r\n%2;1,00;2,00\r\n")
                   .arg(priced[0], unpriced[0]),
               false);
    QVERIFY2(o.ok, qPrintable(o.message));
    const DataPacketPtr lines = linesOf(o);
    QCOMPARE(lines->rowCount(), 2);
    QCOMPARE(value(*lines, 0, "IDSITUACAO").toString(), QStringLiteral("A"));
    QVERIFY(value(*lines, 0, "DSDETALHE").toString().contains(QStringLiteral("→ 77,00")));
    QCOMPARE(value(*lines, 1, "IDSITUACAO").toString(), QStringLiteral("N"));
    QCOMPARE(snapshot(), before);
}

void TestSheetImport::spreadsheetFormsAndDayPrices()
{
    const QString fresh = products(false).value(0);
    const QString withDays =
        scalar("SELECT D.CDPRODUTO FROM ITEMPRECODIA D JOIN ITEMPRECO I ON "
               "I.CDFILIAL = D.CDFILIAL AND I.CDTABEPREC = D.CDTABEPREC AND "
               "I.DTINIVGPREC = D.DTINIVGPREC AND I.CDPRODUTO = D.CDPRODUTO AND "
               "I.CDPRPAITABPR = D.CDPRPAITABPR WHERE D.CDFILIAL = '0001' AND "
               "D.CDTABEPREC = '001' AND D.DTINIVGPREC = :start AND D.CDPRODUTO = "
               "D.CDPRPAITABPR AND D.IDPERVALORPR = 'P' AND D.IDTPMODGERAL = 'S' "
               "ORDER BY 1",
               {{":start", day(-30)}})
            .toString();
    QVERIFY(!fresh.isEmpty() && !withDays.isEmpty());
    auto dayPrice = [&] {
        return scalar("SELECT MIN(PRECO) FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
                      "CDTABEPREC = '001' AND DTINIVGPREC = :start AND CDPRODUTO = :p",
                      {{":start", day(-30)}, {":p", withDays}})
            .toDouble();
    };
    const double dayBefore = dayPrice();
    auto stripped = [](QString code) {
        while (code.startsWith(u'0'))
            code.remove(0, 1);
        return code;
    };
    const QString csv = QStringLiteral("\xFEFF\"Código\",\"Preço\",Pr. Delivery\n"
                                       "%1,1234.56,\n\"%2\",\"2.000,34\",\"3,5\"\n")
                            .arg(stripped(fresh), stripped(withDays));
    const Outcome o = import(csv, true);
    QVERIFY2(o.ok, qPrintable(o.message));
    const DataPacketPtr lines = linesOf(o);
    QCOMPARE(lines->rowCount(), 2);
    QCOMPARE(value(*lines, 0, "IDSITUACAO").toString(), QStringLiteral("N"));
    QCOMPARE(value(*lines, 0, "CDPRODUTO").toString(), fresh);
    QCOMPARE(stored(fresh, "VRPRECITEM").toDouble(), 1234.56);
    QCOMPARE(stored(fresh, "VRPRECITEMCL").toDouble(), 0.0);
    QVERIFY(stored(fresh, "VRPRECITEMDLV").isNull());
    QCOMPARE(stored(fresh, "IDPRECVARIA").toString(), QStringLiteral("N"));
    QCOMPARE(stored(withDays, "VRPRECITEM").toDouble(), 2000.34);
    QCOMPARE(stored(withDays, "VRPRECITEMDLV").toDouble(), 3.5);
    QVERIFY2(dayPrice() > dayBefore * 10, "the differentiated prices kept the old price");
}

PRX_SERVER_TEST_MAIN(TestSheetImport)
#include "tst_sheetimport.moc"
