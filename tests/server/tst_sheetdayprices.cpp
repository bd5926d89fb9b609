// Import of a period's differentiated prices from a spreadsheet, through
// dispatch.
#include "ServerTestBase.h"

#include "sheet/DayPriceImport.h"
#include "sheet/PeriodCalls.h"
#include "sheet/PeriodSheet.h"

#include <QTemporaryDir>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestSheetDayPrices : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // The differentiated prices exported and imported untouched, as CSV and
    // as the workbook's second sheet, change nothing and say so.
    void roundTripChangesNothing_data();
    void roundTripChangesNothing();
    // One row of the exported sheet edited: a good edit replaces the stored
    // row of its key (never a second row), a new key adds one, and every
    // kind of bad row is refused with its reason and never written; the
    // preview alone writes nothing.
    void editedRow_data();
    void editedRow();
    // Items and differentiated prices of one file in one call: the
    // differentiated prices checked against the item prices the file gives,
    // both previewed by that call, written all or nothing.
    void itemsAndDayPricesTogether_data();
    void itemsAndDayPricesTogether();

private:
    static inline const QString kPeriod =
        QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :start");

    Outcome importBoth(const QString &items, const QString &days, bool apply)
    {
        return call("SetPrecoHoraPlanilha", {"0001", "001", day(-30), days, apply, items, "3"});
    }
    QVariantList itemSnapshot()
    {
        return column(QStringLiteral("SELECT CDPRODUTO || '|' || COALESCE(CAST(VRPRECITEM AS "
                                     "TEXT), '~') FROM ITEMPRECO WHERE %1 ORDER BY 1")
                          .arg(kPeriod),
                      {{":start", day(-30)}});
    }
    Outcome import(const QString &csv, bool apply)
    {
        return call("SetPrecoHoraPlanilha", {"0001", "001", day(-30), csv, apply});
    }
    QVariantList snapshot()
    {
        QStringList cols;
        for (const char *c :
             {"CDPRODUTO",    "CDPRPAITABPR",  "CDTIPOCONSPD",  "NRDIASEMANPR", "HRINIPRECDIA",
              "HRFINPRECDIA", "DTINIVALPREC",  "DTFINVALPREC",  "IDPERVALORPR", "IDDESCACREPR",
              "VRPRECODIA",   "VRPRECODIADLV", "VRPRECODIACMD", "PRECO",        "PRECODLV",
              "PRECOCMD",     "IDVISUACUPOM",  "IDTPMODGERAL",  "IDTPMODDLV",   "IDTPMODCMD"})
            cols << QStringLiteral("COALESCE(CAST(%1 AS TEXT), '~')").arg(QLatin1String(c));
        return column(QStringLiteral("SELECT %1 FROM ITEMPRECODIA WHERE %2 ORDER BY 1")
                          .arg(cols.join(QStringLiteral(" || '|' || ")), kPeriod),
                      {{":start", day(-30)}});
    }
    // The period as the export writes it.
    QList<sheet::Sheet> exported()
    {
        const DataPacketPtr items =
            read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), "", "T"});
        const DataPacketPtr days = read("GetPrecoHora", {"0001", "001", day(-30)});
        return sheet::periodSheets(*items, days.get());
    }
    static QStringList cellsOf(const sheet::Sheet &sheet, int row)
    {
        QStringList cells;
        for (qsizetype c = 0; c < sheet.columns.size(); ++c)
            cells << sheet::cellText(sheet.columns[c].kind, sheet.rows[row].value(c));
        return cells;
    }
};

void TestSheetDayPrices::roundTripChangesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("csv") << "periodo.csv";
    QTest::newRow("xlsx") << "periodo.xlsx";
}

void TestSheetDayPrices::roundTripChangesNothing()
{
    QFETCH(QString, file);
    const QList<sheet::Sheet> sheets = exported();
    QVERIFY(sheets.size() == 2 && sheets[1].rows.size() > 0);
    const QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QString error, text;
    QVERIFY2(sheet::writeSheets(path, sheets, &error), qPrintable(error));
    QVERIFY2(sheet::readImportText(path, {}, true, &text, &error), qPrintable(error));
    const QVariantList before = snapshot();

    const Outcome o = import(text, true);
    QVERIFY2(o.ok, qPrintable(o.message));
    const QVariantList answer = o.payload.toList();
    QCOMPARE(answer.value(0).value<DataPacketPtr>()->rowCount(), 0);
    QCOMPARE(answer.value(1).toInt(), int(sheets[1].rows.size()));
    QCOMPARE(sheet::dayPriceSummary(answer[2].toInt(), answer[3].toInt(), answer[4].toInt(),
                                    answer[1].toInt()),
             QStringLiteral("Nenhuma alteração: %1 linhas iguais às da vigência.")
                 .arg(sheets[1].rows.size()));
    QCOMPARE(snapshot(), before);
}

void TestSheetDayPrices::editedRow_data()
{
    // Cells to set in the first exported row with the general modality
    // ("Título=valor", "Preço" cleared unless set), the outcome and a part
    // of the detail.
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("detail");
    QTest::newRow("amount replaced")
        << QStringList{"Percentual/Valor=P", "Desconto/Acréscimo=D", "Valor=12,5"} << "A"
        << "Valor: ";
    QTest::newRow("new key added") << QStringList{"Hora Inicial=00:01", "Hora Final=00:02"} << "N"
                                   << "00:01 a 00:02";
    QTest::newRow("texts for codes")
        << QStringList{"Dia=Todos os Dias",           "Percentual/Valor=Percentual",
                       "Desconto/Acréscimo=Desconto", "Valor=1",
                       "Hora Inicial=00:03",          "Hora Final=00:04"}
        << "N"
        << "Todos os Dias";
    QTest::newRow("price alone gives the amount")
        << QStringList{"Percentual/Valor=V", "Desconto/Acréscimo=D", "Valor=",
                       "Preço=0,01",         "Hora Inicial=00:05",   "Hora Final=00:06"}
        << "N"
        << "preço 0,01";
    QTest::newRow("unknown day") << QStringList{"Dia=X"} << "R"
                                 << "Dia inválido";
    QTest::newRow("hours reversed") << QStringList{"Hora Inicial=19:00", "Hora Final=18:00"} << "R"
                                    << "Hora Inicial deve ser menor que a Hora Final";
    QTest::newRow("bad hour") << QStringList{"Hora Inicial=25:00"} << "R"
                              << "Não é hora válida";
    QTest::newRow("validity before the period") << QStringList{"Início Validade=01/01/2000"} << "R"
                                                << "data inicial de vigência";
    QTest::newRow("validity past the period") << QStringList{"Fim Validade=01/01/2999"} << "R"
                                              << "data final de vigência";
    QTest::newRow("unknown consumer type") << QStringList{"Tipo Consumidor=ZZ"} << "R"
                                           << "Tipo Consumidor não cadastrado";
    QTest::newRow("third decimal") << QStringList{"Valor=1,005"} << "R"
                                   << "mais de duas casas decimais";
    QTest::newRow("percentage past 100")
        << QStringList{"Percentual/Valor=P", "Desconto/Acréscimo=D", "Valor=150"} << "R"
        << "Percentual deve ser menor ou igual a 100";
    QTest::newRow("increase up to the base")
        << QStringList{"Percentual/Valor=P", "Desconto/Acréscimo=A", "Valor=100"} << "R"
        << "acréscimo não pode ser maior ou igual";
    QTest::newRow("price and amount disagree")
        << QStringList{"Percentual/Valor=V", "Desconto/Acréscimo=D", "Valor=0,01", "Preço=0,02"}
        << "R"
        << "apague o preço ou o valor";
    QTest::newRow("zero amount") << QStringList{"Valor=0"} << "R"
                                 << "Valor deve ser maior que zero";
    QTest::newRow("delivery without its item price")
        << QStringList{"Mod Delivery=Sim", "Preço Dlv.=1", "Produto Pai=", "Código=%nodelivery"}
        << "R"
        << "preco de delivery do produto";
}

void TestSheetDayPrices::editedRow()
{
    QFETCH(QStringList, edits);
    QFETCH(QString, outcome);
    QFETCH(QString, detail);
    const auto kept = keepRows("ITEMPRECODIA", kPeriod, {{":start", day(-30)}});
    const QList<sheet::Sheet> sheets = exported();
    const sheet::Sheet &days = sheets[1];
    QHash<QString, int> at;
    for (qsizetype c = 0; c < days.columns.size(); ++c)
        at.insert(days.columns[c].title, int(c));
    int row = -1;
    for (int r = 0; r < days.rows.size() && row < 0; ++r) {
        if (days.rows[r].value(at["Outras Mod."]).toString() == u"S")
            row = r;
    }
    QVERIFY(row >= 0);
    QStringList cells = cellsOf(days, row);
    cells[at["Preço"]].clear();
    const QString noDelivery = scalar(QStringLiteral("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE "
                                                     "%1 AND VRPRECITEMDLV IS NULL")
                                          .arg(kPeriod),
                                      {{":start", day(-30)}})
                                   .toString();
    for (const QString &edit : std::as_const(edits)) {
        const QString title = edit.section(u'=', 0, 0);
        QVERIFY2(at.contains(title), qPrintable(title));
        cells[at[title]] = edit.section(u'=', 1).replace(QStringLiteral("%nodelivery"), noDelivery);
    }
    QStringList titles;
    for (const sheet::SheetColumn &c : days.columns)
        titles << c.title;
    const QString csv =
        titles.join(u';') + QStringLiteral("\r\n") + cells.join(u';') + QStringLiteral("\r\n");
    const QVariantList before = snapshot();

    const Outcome preview = import(csv, false);
    QVERIFY2(preview.ok, qPrintable(preview.message));
    QCOMPARE(snapshot(), before);
    const Outcome o = import(csv, true);
    QVERIFY2(o.ok, qPrintable(o.message));
    const DataPacketPtr lines = o.payload.toList().value(0).value<DataPacketPtr>();
    QCOMPARE(lines->rowCount(), 1);
    QCOMPARE(value(*lines, 0, "IDSITUACAO").toString(), outcome);
    QVERIFY2(value(*lines, 0, "DSDETALHE").toString().contains(detail),
             qPrintable(value(*lines, 0, "DSDETALHE").toString()));
    const QVariantList after = snapshot();
    if (outcome == u"R")
        QCOMPARE(after, before);
    else
        QCOMPARE(after.size(), before.size() + (outcome == u"N" ? 1 : 0));
    if (outcome != u"R")
        QVERIFY(after != before);
    expectConsistent();
}

void TestSheetDayPrices::itemsAndDayPricesTogether_data()
{
    // %priced: a product with a percentage differentiated price of the
    // general modality; %fresh: a product without a price in the period;
    // %exported: the exported differentiated prices of %priced, untouched.
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("days");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("detail"); // of the first differentiated price line
    const QString head = QStringLiteral("Código;Dia;Hora Inicial;Hora Final;Percentual/Valor;"
                                        "Desconto/Acréscimo;Valor\n");
    QTest::newRow("new product priced and given a differentiated price")
        << "Código;Preço\n%fresh;10,00\n"
        << head + "%fresh;T;08:00;09:00;P;D;10\n"
        << true << "preço 9,00";
    QTest::newRow("exported differentiated prices follow the new item price")
        << "Código;Preço\n%priced;777,00\n"
        << "%exported" << true << "Preço: ";
    QTest::newRow("refused differentiated price writes the items neither")
        << "Código;Preço\n%priced;777,00\n"
        << head + "%priced;T;08:00;09:00;P;D;10\n%priced;X;08:00;09:00;P;D;10\n"
        << false << "Dia inválido";
    QTest::newRow("refused item writes the differentiated prices neither")
        << "Código;Preço\n%priced;-1\n"
        << head + "%priced;T;08:00;09:00;P;D;10\n"
        << false << "08:00 a 09:00";
    QTest::newRow("differentiated price checked against the file's item price")
        << "Código;Preço\n%priced;4,00\n"
        << head + "%priced;T;08:00;09:00;V;D;5\n"
        << false << "Preço deve ser maior que zero";
}

void TestSheetDayPrices::itemsAndDayPricesTogether()
{
    QFETCH(QString, items);
    QFETCH(QString, days);
    QFETCH(bool, written);
    QFETCH(QString, detail);
    const auto keptItems = keepRows("ITEMPRECO", kPeriod, {{":start", day(-30)}});
    const auto keptDays = keepRows("ITEMPRECODIA", kPeriod, {{":start", day(-30)}});
    const QString priced =
        scalar(QStringLiteral("SELECT MIN(CDPRODUTO) FROM ITEMPRECODIA WHERE %1 AND "
                              "CDPRODUTO = CDPRPAITABPR AND IDPERVALORPR = 'P' AND "
                              "IDTPMODGERAL = 'S'")
                   .arg(kPeriod),
               {{":start", day(-30)}})
            .toString();
    const QString fresh =
        scalar(QStringLiteral("SELECT MIN(P.CDPRODUTO) FROM PRODUTO P JOIN PRODSEGMER S ON "
                              "S.CDPRODUTO = P.CDPRODUTO AND S.CDSEGMER = '00001' WHERE "
                              "LENGTH(P.CDARVPROD) = (SELECT MAX(LENGTH(CDARVPROD)) FROM "
                              "PRODUTO) AND NOT EXISTS (SELECT 1 FROM ITEMPRECO I WHERE %1 AND "
                              "I.CDPRODUTO = P.CDPRODUTO)")
                   .arg(kPeriod),
               {{":start", day(-30)}})
            .toString();
    QVERIFY(!priced.isEmpty() && !fresh.isEmpty());
    if (days == u"%exported") {
        const sheet::Sheet sheet = exported()[1];
        sheet::SheetRows rows{{}};
        for (const sheet::SheetColumn &c : sheet.columns)
            rows[0] << c.title;
        for (int r = 0; r < sheet.rows.size(); ++r) {
            if (sheet.rows[r].value(0).toString() == priced)
                rows << cellsOf(sheet, r);
        }
        QVERIFY(rows.size() > 1);
        days = QString::fromUtf8(sheet::writeCsv(rows));
    }
    for (QString *text : {&items, &days})
        text->replace(QStringLiteral("%priced"), priced).replace(QStringLiteral("%fresh"), fresh);
    const QVariantList itemsBefore = itemSnapshot(), daysBefore = snapshot();

    const Outcome preview = importBoth(items, days, false);
    QVERIFY2(preview.ok, qPrintable(preview.message));
    const QVariantList answer = preview.payload.toList();
    QCOMPARE(answer.size(), 7);
    const DataPacketPtr itemLines = answer[5].value<DataPacketPtr>();
    const DataPacketPtr dayLines = answer[0].value<DataPacketPtr>();
    QCOMPARE(itemLines->rowCount(), 1);
    QVERIFY(dayLines->rowCount() > 0);
    const QString shown = value(*dayLines, dayLines->rowCount() - 1, "DSDETALHE").toString();
    QVERIFY2(shown.contains(detail), qPrintable(shown));
    QCOMPARE(itemSnapshot(), itemsBefore);
    QCOMPARE(snapshot(), daysBefore);

    const Outcome o = importBoth(items, days, true);
    QCOMPARE(o.ok, written);
    if (!written) {
        QVERIFY2(o.message.contains(u"nada foi gravado"), qPrintable(o.message));
        QCOMPARE(itemSnapshot(), itemsBefore);
        QCOMPARE(snapshot(), daysBefore);
        return;
    }
    QVERIFY(itemSnapshot() != itemsBefore);
    QVERIFY(snapshot() != daysBefore);
    // What the preview said is what was stored.
    QCOMPARE(value(*o.payload.toList()[0].value<DataPacketPtr>(), 0, "DSDETALHE"),
             value(*dayLines, 0, "DSDETALHE"));
    expectConsistent();
}

PRX_SERVER_TEST_MAIN(TestSheetDayPrices)
#include "tst_sheetdayprices.moc"
