// The database itself: schema, wall-clock dates, exact texts, the host's
// lookup queries, the demo data and the argument checks in front of it all.
#include "ServerTestBase.h"

#include "methods/BulkWriter.h"
#include "methods/MethodSupport.h"
#include "storage/SqlDialect.h"
#include "storage/Transaction.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

#include <ctime>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestStorage : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // A second createSchema on a filled database must neither fail nor lose rows.
    void schemaIsIdempotent();
    // A period starting 01/02 must read back as 01/02 00:00 whatever the
    // process time zone, including a midnight that a daylight-saving change skips.
    void dateTimeRoundTrip_data();
    void dateTimeRoundTrip();
    // Quotes, accents and SQL-looking text are stored and read exactly, and
    // never widen a lookup.
    void textIsStoredExactly_data();
    void textIsStoredExactly();
    // The host runs these lookup texts unchanged on our schema.
    void hostLookupsRun_data();
    void hostLookupsRun();
    // The item list must walk keys, not scan the price items.
    void itemListUsesIndexes();
    // Bulk inserts sent many rows to a statement write every row once, in
    // order, whatever the count against the batch size.
    void bulkWriterRows_data();
    void bulkWriterRows();
    // A loop that writes while it reads sees every row it reads; a read the
    // driver cuts short by a statement run in its middle saves nothing.
    void readsWhileWriting();
    // The demo is what the screens and tests rely on.
    void demoHasEveryCase();
    void demoIsDeterministic();
    // Every row of a fresh demo obeys the rules the server enforces on a
    // save, and each branch's first table sells today.
    void demoObeysTheRules_data();
    void demoObeysTheRules();
    // Wrong argument types are refused before the method touches anything.
    void argumentTypesAreChecked_data();
    void argumentTypesAreChecked();
    // Dates sent as text are parsed strictly.
    void dateTextIsStrict_data();
    void dateTextIsStrict();
};

void TestStorage::schemaIsIdempotent()
{
    const QVariant before = scalar(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO"));
    storage().createSchema();
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO")), before);
    QVERIFY(before.toInt() > 0);
}

void TestStorage::dateTimeRoundTrip_data()
{
    QTest::addColumn<QString>("tz");
    QTest::addColumn<QDate>("start");
    QTest::newRow("utc") << "UTC" << QDate(2031, 2, 1);
    QTest::newRow("sao-paulo") << "America/Sao_Paulo" << QDate(2032, 2, 1);
    // Midnight of 04/11/2018 did not exist in São Paulo.
    QTest::newRow("dst-gap") << "America/Sao_Paulo" << QDate(2018, 11, 4);
    QTest::newRow("tokyo") << "Asia/Tokyo" << QDate(2033, 2, 1);
}

void TestStorage::dateTimeRoundTrip()
{
    QFETCH(QString, tz);
    QFETCH(QDate, start);
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", tz.toUtf8());
    tzset();
    auto restore = qScopeGuard([&] {
        qputenv("TZ", oldTz);
        tzset();
    });

    const DataPacketPtr periods = read("GetTabeVend", {"0001", "001"});
    DeltaPacket delta = deltaOf(*periods);
    const QDateTime begin = wallClock(start);
    const QDateTime end = wallClock(start.addDays(27), QTime(23, 59, 59));
    delta.changes << insertOf(periods->fields(), {{"CDFILIAL", "0001"},
                                                  {"CDTABEPREC", "001"},
                                                  {"DTINIVGPREC", begin},
                                                  {"DTFINVGPREC", end}});
    const Outcome saved = call("SetTabeVend", {deltaArg(delta)});
    QVERIFY2(saved.ok, qPrintable(saved.message));

    const DataPacketPtr again = read("GetTabeVend", {"0001", "001"});
    int row = -1;
    for (int r = 0; r < again->rowCount(); ++r) {
        if (value(*again, r, "DTINIVGPREC").toDateTime() == begin)
            row = r;
    }
    QVERIFY(row >= 0);
    QCOMPARE(value(*again, row, "DTINIVGPREC").toDateTime(), begin);
    QCOMPARE(value(*again, row, "DTFINVGPREC").toDateTime(), end);
    QCOMPARE(value(*again, row, "IDSITVGPREC").toString(), QStringLiteral("1"));
    // The stored text is the wall clock, whatever the driver would prefer.
    const QString stored =
        scalar(QStringLiteral("SELECT %1 FROM TABEVEND WHERE CDFILIAL = '0001' AND "
                              "CDTABEPREC = '001' AND DTINIVGPREC = :s")
                   .arg(storage().dialect().selectDateTime(QStringLiteral("DTINIVGPREC"))),
               {{":s", begin}})
            .toString();
    QCOMPARE(stored, start.toString(u"yyyy-MM-dd") + QStringLiteral(" 00:00:00"));
    // The period's own start is what the checks exclude.
    QCOMPARE(call("getTabePrecData", {"0001", "001", begin, end}).payload.toBool(), false);
}

void TestStorage::textIsStoredExactly_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("quote") << "Q01"
                           << "Preço d'Água";
    QTest::newRow("sql") << "Q02"
                         << "x' OR '1'='1";
    QTest::newRow("comment") << "Q03"
                             << "Açaí; -- \"Café\"";
    QTest::newRow("backslash") << "Q04"
                               << "C:\\tabela\\%_ção";
    QTest::newRow("emoji") << "Q05" << QStringLiteral("Pão 🍞 Ñandú");
}

void TestStorage::textIsStoredExactly()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    const DataPacketPtr tables = read("GetTabePrec", {"0003"});
    DeltaPacket delta = deltaOf(*tables);
    delta.changes << insertOf(tables->fields(),
                              {{"CDFILIAL", "0003"}, {"CDTABEPREC", code}, {"NMTABEPREC", name}});
    const Outcome out = call("SetTabePrec", {deltaArg(delta)});
    QVERIFY2(out.ok, qPrintable(out.message));

    const DataPacketPtr back = read("GetTabePrec", {"0003"});
    const int row = findRow(*back, "CDTABEPREC", code);
    QVERIFY(row >= 0);
    QCOMPARE(value(*back, row, "NMTABEPREC").toString(), name);
    // The name as a key finds nothing and widens nothing.
    QCOMPARE(read("GetTabePrec", {name})->rowCount(), 0);
    QCOMPARE(read("GetVerifTabePrec", {"0003", name})->rowCount(), 0);
    QCOMPARE(read("GetFilial", {"0003' OR '1'='1", ""})->rowCount(), 0);
}

void TestStorage::hostLookupsRun_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("expected"); // independent query giving the same first column
    const QString tipoCons =
        "SELECT CDTIPOCONS, NMTIPOCONS\nFROM TIPOCONS\nWHERE\n"
        "CDTIPOCONS = :P_CDTIPOCONS OR :P_TCDTIPOCONS = 'T'\nORDER BY CDTIPOCONS";
    QTest::newRow("tipocons-all") << tipoCons
                                  << QVariantMap{{"P_CDTIPOCONS", ""}, {"P_TCDTIPOCONS", "T"}}
                                  << "SELECT CDTIPOCONS FROM TIPOCONS ORDER BY 1";
    QTest::newRow("tipocons-one") << tipoCons
                                  << QVariantMap{{"P_CDTIPOCONS", "02"}, {"P_TCDTIPOCONS", ""}}
                                  << "SELECT CDTIPOCONS FROM TIPOCONS WHERE CDTIPOCONS = '02'";
    const QString fili =
        "SELECT\n  T.CDTIPOCONS, T.NMTIPOCONS\nFROM\n   TIPOCONS T, TIPOCONSFILI TF\n"
        "WHERE\n   (TF.CDFILIAL   = :P_CDFILIAL) AND\n   (TF.CDTIPOCONS = T.CDTIPOCONS) \n"
        "ORDER BY T.CDTIPOCONS";
    QTest::newRow("tipoconsfili")
        << fili << QVariantMap{{"P_CDFILIAL", "0001"}}
        << "SELECT CDTIPOCONS FROM TIPOCONSFILI WHERE CDFILIAL = '0001' ORDER BY 1";
    QTest::newRow("tipoconsfili-none")
        << fili << QVariantMap{{"P_CDFILIAL", "0003"}}
        << "SELECT CDTIPOCONS FROM TIPOCONSFILI WHERE CDFILIAL = '0003'";
    const QString qryTipoCons = "SELECT CDTIPOCONS, NMTIPOCONS\n   FROM TIPOCONS\nWHERE\n"
                                "   ((CDTIPOCONS = :P_CDTIPOCONS) OR  (:P_TCDTIPOCONS =  'T'))\n"
                                "   ORDER BY CDTIPOCONS";
    QTest::newRow("qrytipocons") << qryTipoCons
                                 << QVariantMap{{"P_CDTIPOCONS", "01"}, {"P_TCDTIPOCONS", ""}}
                                 << "SELECT CDTIPOCONS FROM TIPOCONS WHERE CDTIPOCONS = '01'";
    const QString qryTipoConsFili =
        "SELECT\n  T.CDTIPOCONS, T.NMTIPOCONS\nFROM\n   TIPOCONS T, TIPOCONSFILI TF\n"
        "WHERE\n   (TF.CDFILIAL   = :P_CDFILIAL) AND\n"
        "   (TF.CDTIPOCONS = T.CDTIPOCONS)\nORDER BY CDTIPOCONS";
    // Its unqualified ORDER BY is ambiguous for SQLite (both tables have the
    // column); PostgreSQL orders by the output column.
    if (backend() == Backend::Postgres)
        QTest::newRow("qrytipoconsfili")
            << qryTipoConsFili << QVariantMap{{"P_CDFILIAL", "0002"}}
            << "SELECT CDTIPOCONS FROM TIPOCONSFILI WHERE CDFILIAL = '0002' ORDER BY 1";
    const QString filial =
        "SELECT\n   FI.CDFILIAL, FI.NMFILIAL\nFROM\n   FILIAL FI\nWHERE\n"
        "  ((FI.CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))\nORDER BY\n   FI.CDFILIAL";
    QTest::newRow("filial-all") << filial
                                << QVariantMap{{"P_CDFILIAL",
                                                QVariant(QMetaType::fromType<QString>())},
                                               {"P_TCDFILIAL", "T"}}
                                << "SELECT CDFILIAL FROM FILIAL ORDER BY 1";
    QTest::newRow("filial-one") << filial
                                << QVariantMap{{"P_CDFILIAL", "0002"}, {"P_TCDFILIAL", "N"}}
                                << "SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = '0002'";
    const QString tabela = "SELECT\n   CDFILIAL, CDTABEPREC, NMTABEPREC\nFROM\n   TABEPREC\nWHERE\n"
                           "   (CDFILIAL = :P_CDFILIAL) AND\n   ((CDTABEPREC = :P_CDTABEPREC) OR "
                           "(:P_TCDTABEPREC = 'T'))\n"
                           "ORDER BY\n   CDTABEPREC";
    QTest::newRow("tabela-all") << tabela
                                << QVariantMap{{"P_CDFILIAL", "0002"},
                                               {"P_CDTABEPREC",
                                                QVariant(QMetaType::fromType<QString>())},
                                               {"P_TCDTABEPREC", "T"}}
                                << "SELECT CDFILIAL FROM TABEPREC WHERE CDFILIAL = '0002'";
    QTest::newRow("pesqtabela")
        << "SELECT \n   CDTABEPREC\nFROM \n   TABEPREC\nWHERE\n   (CDFILIAL = :P_CDFILIAL) AND\n   "
           "(CDTABEPREC = :P_CDTABEPREC)"
        << QVariantMap{{"P_CDFILIAL", "0002"}, {"P_CDTABEPREC", "002"}}
        << "SELECT CDTABEPREC FROM TABEPREC WHERE CDFILIAL = '0002' AND CDTABEPREC = '002'";
    QTest::newRow("filialdest")
        << "SELECT\n   CDFILIAL, NMFILIAL\nFROM\n   FILIAL\nWHERE\n   (CDFILIAL <> "
           ":P_CDFILIAL)\nORDER BY\n   CDFILIAL"
        << QVariantMap{{"P_CDFILIAL", "0001"}}
        << "SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> '0001' ORDER BY 1";
    const QString tabeVend =
        "SELECT DTINIVGPREC, DTFINVGPREC\nFROM TABEVEND\n"
        "WHERE (CDFILIAL     =  :P_CDFILIAL)   AND\n      (CDTABEPREC   =  :P_CDTABEPREC) AND\n"
        "      (DTINIVGPREC  <> :P_DTINIDEST)  AND\n"
        "      ((DTINIVGPREC = :P_DTINIVGPREC) OR (:P_TDTINIVGPREC = 'T'))\nORDER BY DTINIVGPREC";
    QTest::newRow("tabevend-all")
        << tabeVend
        << QVariantMap{{"P_CDFILIAL", "0002"},
                       {"P_CDTABEPREC", "001"},
                       {"P_DTINIDEST", day(-30)},
                       {"P_DTINIVGPREC", day(-90)},
                       {"P_TDTINIVGPREC", "T"}}
        << "SELECT DTINIVGPREC FROM TABEVEND WHERE CDFILIAL = '0002' AND CDTABEPREC = '001' "
           "AND DTINIVGPREC <> :d ORDER BY 1";
    QTest::newRow("tabevend-one")
        << tabeVend
        << QVariantMap{{"P_CDFILIAL", "0002"},
                       {"P_CDTABEPREC", "001"},
                       {"P_DTINIDEST", day(-30)},
                       {"P_DTINIVGPREC", day(30)},
                       {"P_TDTINIVGPREC", ""}}
        << "SELECT DTINIVGPREC FROM TABEVEND WHERE CDFILIAL = '0002' AND CDTABEPREC = '001' "
           "AND DTINIVGPREC = :d2";
}

void TestStorage::hostLookupsRun()
{
    QFETCH(QString, sql);
    QFETCH(QVariantMap, params);
    QFETCH(QString, expected);
    QSqlQuery q(storage().database());
    QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
    for (auto it = params.begin(); it != params.end(); ++it) {
        const QVariant v = it.value();
        // Date-time parameters travel as the storage's wall-clock text.
        q.bindValue(u':' + it.key(), v.metaType().id() == QMetaType::QDateTime
                                         ? SqlDialect::bindDateTime(v.toDateTime())
                                         : v);
    }
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList got;
    while (q.next())
        got << q.value(0).toString();
    QStringList want;
    for (const QVariant &v : column(expected, {{":d", day(-30)}, {":d2", day(30)}}))
        want << v.toString();
    QCOMPARE(got, want);
    QVERIFY(!got.isEmpty() || QTest::currentDataTag() == QLatin1String("tipoconsfili-none"));
}

void TestStorage::itemListUsesIndexes()
{
    if (backend() != Backend::Sqlite)
        QSKIP("The query plan is checked on SQLite; PostgreSQL plans by its statistics.");
    QSqlQuery q(storage().database());
    QVERIFY(q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + itemListSql()));
    for (const char *p : {":branch", ":table", ":start", ":segment", ":all", ":product"})
        q.bindValue(QLatin1String(p), QStringLiteral("x"));
    q.bindValue(QStringLiteral(":length"), 8);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList plan;
    while (q.next())
        plan << q.value(3).toString();
    const QString text = plan.join(u'\n');
    QVERIFY2(!text.contains(QStringLiteral("SCAN I")) &&
                 !text.contains(QStringLiteral("SCAN ITEMPRECO")),
             qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("SEARCH I USING PRIMARY KEY"))),
             qPrintable(text));
    QVERIFY2(text.contains(
                 QRegularExpression(QStringLiteral("SEARCH C USING (COVERING INDEX|PRIMARY KEY)"))),
             qPrintable(text));
}

void TestStorage::demoHasEveryCase()
{
    // Exactly one period of each table is in force today.
    const QVariantList inForce = column(
        QStringLiteral(
            "SELECT COUNT(*) FROM TABEPREC T WHERE T.CDTABEPREC IN ('001', '002', '003') AND "
            "(SELECT COUNT(*) FROM TABEVEND V "
            "WHERE V.CDFILIAL = T.CDFILIAL AND V.CDTABEPREC = T.CDTABEPREC "
            "AND V.DTINIVGPREC <= :today AND V.DTFINVGPREC >= :today2) <> 1"),
        {{":today", day(0)}, {":today2", day(0)}});
    QCOMPARE(inForce.value(0).toInt(), 0);
    QCOMPARE(column(QStringLiteral("SELECT DISTINCT IDSITVGPREC FROM TABEVEND ORDER BY 1")),
             (QVariantList{"1", "2", "3", "4"}));
    // Combos of two to four components, with quantities.
    QCOMPARE(
        scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT CDPRODUTO, COUNT(*) N FROM PRODCOMP "
                              "GROUP BY CDPRODUTO) X WHERE N < 2 OR N > 4"))
            .toInt(),
        0);
    QVERIFY(scalar(QStringLiteral("SELECT COUNT(DISTINCT CDPRODUTO) FROM PRODCOMP")).toInt() >= 2);
    // Products without a tax rate exist outside the first branch, in
    // periods that wait for approval, and differentiated prices of every kind.
    QVERIFY(scalar(QStringLiteral(
                       "SELECT COUNT(*) FROM ITEMPRECO I JOIN TABEVEND V ON V.CDFILIAL = "
                       "I.CDFILIAL AND V.CDTABEPREC = I.CDTABEPREC AND V.DTINIVGPREC = "
                       "I.DTINIVGPREC WHERE V.IDSITVGPREC = '3' AND NOT EXISTS (SELECT 1 FROM "
                       "ALIQPROD A WHERE A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO)"))
                .toInt() > 0);
    QVERIFY(scalar(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA")).toInt() > 0);
    QVERIFY(scalar(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA WHERE CDTIPOCONSPD <> 'T'"))
                .toInt() >= 0);
    // Linked consumer types for some branches only.
    QCOMPARE(column(QStringLiteral("SELECT DISTINCT CDFILIAL FROM TIPOCONSFILI ORDER BY 1")),
             (QVariantList{"0001", "0002"}));
    // A store uses table 002 of the first branch; table 001 is free.
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM TABPRECLOJA WHERE CDFILTABPR = '0001' AND "
                                   "CDTABEPREC = '002'"))
                 .toInt(),
             1);
    // Tree codes of 2 + 2 + 4 digits under named groups.
    QCOMPARE(
        scalar(QStringLiteral("SELECT COUNT(*) FROM PRODUTO WHERE LENGTH(CDARVPROD) <> 8")).toInt(),
        0);
    QCOMPARE(
        scalar(QStringLiteral("SELECT NMARVPROD FROM ARVPROD WHERE CDARVPROD = '0101'")).toString(),
        QStringLiteral("Refrigerantes"));
}

void TestStorage::demoIsDeterministic()
{
    if (backend() != Backend::Sqlite)
        QSKIP("Generated twice on SQLite; the PostgreSQL fixture is the same generator.");
    QTemporaryDir dir;
    auto fill = [&](const QString &name, quint32 seed) {
        QString error;
        auto db = Storage::open(dir.filePath(name), &error);
        db->createSchema();
        DemoOptions o = fixtureOptions();
        o.seed = seed;
        generateDemo(*db, o);
        MethodRegistry registry;
        registerAllMethods(registry);
        Context ctx{*db};
        const Outcome out = dispatch(registry, ctx, kObject, "GetItemPreco",
                                     {"0001", "001", "00001", "3", day(-30), "", "T"});
        return out.payload.value<DataPacketPtr>();
    };
    const DataPacketPtr a = fill("a.sqlite", 7), b = fill("b.sqlite", 7), c = fill("c.sqlite", 8);
    QVERIFY(a->rowCount() > 0);
    QVERIFY(*a == *b);
    QVERIFY(!(*a == *c));
}

void TestStorage::demoObeysTheRules_data()
{
    // Each query counts the rows that break its rule.
    QTest::addColumn<QString>("breaking");
    const QString period = QStringLiteral(
        "JOIN TABEVEND V ON V.CDFILIAL = %1.CDFILIAL AND V.CDTABEPREC = %1.CDTABEPREC AND "
        "V.DTINIVGPREC = %1.DTINIVGPREC");
    QTest::newRow("validity inside its period")
        << QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA D %1 WHERE D.DTINIVALPREC < "
                          "V.DTINIVGPREC OR D.DTFINVALPREC IS NULL OR D.DTFINVALPREC > "
                          "V.DTFINVGPREC OR D.DTINIVALPREC > D.DTFINVALPREC")
               .arg(period.arg(QStringLiteral("D")));
    QTest::newRow("periods of a table apart")
        << QStringLiteral("SELECT COUNT(*) FROM TABEVEND A JOIN TABEVEND B ON B.CDFILIAL = "
                          "A.CDFILIAL AND B.CDTABEPREC = A.CDTABEPREC AND B.DTINIVGPREC > "
                          "A.DTINIVGPREC WHERE B.DTINIVGPREC <= A.DTFINVGPREC");
    QTest::newRow("approved periods with every tax rate")
        << QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO I %1 WHERE V.IDSITVGPREC = '4' AND "
                          "I.CDPRODUTO = I.CDPRPAITABPR AND NOT EXISTS (SELECT 1 FROM ALIQPROD "
                          "A WHERE A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO)")
               .arg(period.arg(QStringLiteral("I")));
    QTest::newRow("first branch with every tax rate")
        << QStringLiteral("SELECT COUNT(*) FROM PRODUTO P WHERE NOT EXISTS (SELECT 1 FROM "
                          "ALIQPROD A WHERE A.CDFILIAL = '0001' AND A.CDPRODUTO = P.CDPRODUTO)");
    QTest::newRow("first table of each branch approved today")
        << QStringLiteral("SELECT COUNT(*) FROM FILIAL F WHERE NOT EXISTS (SELECT 1 FROM "
                          "TABEVEND V WHERE V.CDFILIAL = F.CDFILIAL AND V.CDTABEPREC = '001' AND "
                          "V.IDSITVGPREC = '4' AND V.DTINIVGPREC <= :today AND V.DTFINVGPREC >= "
                          ":today2)");
    QTest::newRow("assigned tables approved today")
        << QStringLiteral("SELECT COUNT(*) FROM TABPRECFILI T WHERE NOT EXISTS (SELECT 1 FROM "
                          "TABEVEND V WHERE V.CDFILIAL = T.CDFILTABPR AND V.CDTABEPREC = "
                          "T.CDTABEPREC AND V.IDSITVGPREC = '4' AND V.DTINIVGPREC <= :today AND "
                          "V.DTFINVGPREC >= :today2)");
}

void TestStorage::demoObeysTheRules()
{
    QFETCH(QString, breaking);
    QList<std::pair<QString, QVariant>> binds;
    if (breaking.contains(u":today"))
        binds = {{":today", day(0)}, {":today2", day(0)}};
    QCOMPARE(scalar(breaking, binds).toInt(), 0);
}

void TestStorage::argumentTypesAreChecked_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::newRow("number-for-text")
        << "setAlteraStatus" << QVariantList{"2", 1, "0001", "01/01/2000"};
    QTest::newRow("text-for-date") << "GetPrecoHora" << QVariantList{"0001", "001", "01/01/2000"};
    QTest::newRow("text-for-delta") << "SetTabePrec" << QVariantList{"delta"};
    QTest::newRow("too-few") << "GetItemPreco"
                             << QVariantList{"0001", "001", "00001", "3", day(-30), ""};
    QTest::newRow("bool-for-text") << "GetFilial" << QVariantList{true, ""};
}

void TestStorage::argumentTypesAreChecked()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    const QVariant before =
        scalar(QStringLiteral("SELECT COUNT(*) FROM TABEVEND WHERE IDSITVGPREC = '2'"));
    const Outcome out = call(method, args);
    QVERIFY(!out.ok);
    QCOMPARE(out.code, int(ErrorArguments));
    QVERIFY(out.message.startsWith(u"O "));
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM TABEVEND WHERE IDSITVGPREC = '2'")),
             before);
}

void TestStorage::dateTextIsStrict_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const QString start = day(-30).date().toString(u"dd/MM/yyyy");
    QTest::newRow("screen") << start << true;
    QTest::newRow("with-time") << start + " 00:00:00" << true;
    QTest::newRow("one-digit") << day(-30).date().toString(u"d/M/yyyy") << false;
    QTest::newRow("iso") << day(-30).date().toString(Qt::ISODate) << false;
    QTest::newRow("feb-31") << "31/02/2030" << false;
    QTest::newRow("padded") << " " + start << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("sql") << start + "' OR '1'='1" << false;
}

void TestStorage::dateTextIsStrict()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    // Table 003 of branch 0003: state "2" sent, text decides.
    const Outcome out = call("setAlteraStatus", {"2", "003", "0003", text});
    QCOMPARE(out.ok, accepted);
    if (!accepted) {
        QCOMPARE(out.code, int(ErrorArguments));
        QVERIFY2(out.message.contains(u"dd/mm/aaaa"), qPrintable(out.message));
    } else {
        QCOMPARE(
            scalar(QStringLiteral("SELECT IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = '0003' AND "
                                  "CDTABEPREC = '003' AND DTINIVGPREC = :s"),
                   {{":s", day(-30)}})
                .toString(),
            QStringLiteral("2"));
    }
}

void TestStorage::bulkWriterRows_data()
{
    QTest::addColumn<int>("rows");
    for (int n : {1, 63, 64, 65, 200})
        QTest::addRow("%d", n) << n;
}

void TestStorage::bulkWriterRows()
{
    QFETCH(int, rows);
    Storage &db = storage();
    db.execDirect(
        QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS BULKT (K VARCHAR(10) PRIMARY KEY, "
                       "V DOUBLE PRECISION, F VARCHAR(10), N INTEGER)"));
    db.execDirect(QStringLiteral("DELETE FROM BULKT"));
    db.execDirect(QStringLiteral("INSERT INTO BULKT VALUES ('k0', 99, 'old', 0)"));
    // A quoted literal holding a comma and a quote, a constant bound once, an
    // upsert over a row already there.
    const QString onConflict =
        QStringLiteral(" ON CONFLICT (K) DO UPDATE SET V = excluded.V, N = BULKT.N + 1");
    BulkWriter writer(db,
                      QStringLiteral("INSERT INTO BULKT (K, V, F, N) VALUES (:c0, :c1, 'a,''b', "
                                     ":n)") +
                          onConflict,
                      QStringLiteral("INSERT INTO BULKT (K, V, F, N) SELECT u.k, u.v, 'a,''b', :n "
                                     "FROM unnest(CAST(:c0 AS TEXT[]), CAST(:c1 AS DOUBLE "
                                     "PRECISION[])) AS u(k, v)") +
                          onConflict,
                      {BulkWriter::Kind::Text, BulkWriter::Kind::Real}, {{":n", 0}},
                      QStringLiteral("gravar"));
    for (int i = 0; i < rows; ++i) {
        writer.text(QStringLiteral("k%1").arg(i));
        writer.real(i % 7 == 3 ? std::optional<double>() : std::optional<double>(i + 0.25));
        writer.endRow();
    }
    QCOMPARE(writer.finish(), qint64(rows));
    QCOMPARE(scalar("SELECT COUNT(*) FROM BULKT").toInt(), rows);
    QCOMPARE(scalar("SELECT COUNT(*) FROM BULKT WHERE V IS NULL").toInt(), (rows + 3) / 7);
    QCOMPARE(scalar("SELECT V FROM BULKT WHERE K = 'k0'").toDouble(), 0.25);
    QCOMPARE(scalar("SELECT N FROM BULKT WHERE K = 'k0'").toInt(), 1);
    // The row already there keeps what the upsert does not set.
    QCOMPARE(scalar("SELECT COUNT(*) FROM BULKT WHERE F = 'a,''b'").toInt(), rows - 1);
    const int last = rows - 1;
    const QVariant lastValue =
        scalar("SELECT V FROM BULKT WHERE K = :k", {{":k", QStringLiteral("k%1").arg(last)}});
    QCOMPARE(lastValue.isNull(), last % 7 == 3);
    if (!lastValue.isNull())
        QCOMPARE(lastValue.toDouble(), last + 0.25);
}

void TestStorage::readsWhileWriting()
{
    Storage &db = storage();
    const int rows = 12000; // more than one PostgreSQL batch of the writer
    db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS RWFROM (K VARCHAR(10))"));
    db.execDirect(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS RWTO (K VARCHAR(10))"));
    db.execDirect(QStringLiteral("DELETE FROM RWFROM"));
    db.execDirect(QStringLiteral("DELETE FROM RWTO"));
    const auto writerInto = [&db](const char *table) {
        return std::make_unique<BulkWriter>(
            db, QStringLiteral("INSERT INTO %1 (K) VALUES (:c0)").arg(QLatin1String(table)),
            QStringLiteral("INSERT INTO %1 (K) SELECT * FROM unnest(CAST(:c0 AS TEXT[]))")
                .arg(QLatin1String(table)),
            QList<BulkWriter::Kind>{BulkWriter::Kind::Text}, SqlBinds{}, QStringLiteral("gravar"));
    };
    {
        auto fill = writerInto("RWFROM");
        for (int i = 0; i < rows; ++i) {
            fill->text(QString::number(i));
            fill->endRow();
        }
        fill->finish();
    }

    {
        Transaction tx(db);
        auto copy = writerInto("RWTO");
        BulkReader reader(db, QStringLiteral("SELECT K FROM RWFROM"), {}, QStringLiteral("ler"));
        int read = 0;
        while (reader.next()) {
            copy->text(reader.text(0));
            copy->endRow();
            ++read;
        }
        copy->finish();
        tx.commit();
        QCOMPARE(read, rows);
    }
    QCOMPARE(scalar("SELECT COUNT(*) FROM RWTO").toInt(), rows);

    // The same loop on a streamed query: on PostgreSQL the statement in its
    // middle drops the rest of the rows, and the commit refuses.
    db.execDirect(QStringLiteral("DELETE FROM RWTO"));
    bool refused = false;
    int read = 0;
    try {
        Transaction tx(db);
        QSqlQuery q =
            runQuery(db, QStringLiteral("SELECT K FROM RWFROM"), {}, QStringLiteral("ler"));
        while (q.next()) {
            if (++read == 10)
                db.execDirect(QStringLiteral("INSERT INTO RWTO (K) VALUES ('x')"));
        }
        tx.commit();
    } catch (const ServerError &) {
        refused = true;
    }
    QCOMPARE(refused, read < rows);
    QCOMPARE(scalar("SELECT COUNT(*) FROM RWTO").toInt(), refused ? 0 : 1);
}

PRX_SERVER_TEST_MAIN(TestStorage)
#include "tst_storage.moc"
