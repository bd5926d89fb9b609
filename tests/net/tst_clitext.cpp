#include "net/JsonText.h"
#include "net/TypedArgument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>
#include <ctime>

using namespace prx;

class TestCliText : public QObject
{
    Q_OBJECT

private slots:
    // Guards against a typed argument arriving with the wrong type or value,
    // or a mistyped one being sent as text.
    void typedArguments_data();
    void typedArguments();
    // Guards against a typed date-time being shifted by the local time zone.
    void dateTimeArgumentIgnoresLocalZone();
    // Guards against JSON output that reorders fields, breaks on special text
    // or is not JSON at all.
    void packetAsJson();
    void nestedValuesAndDeltaAsJson();
    // Guards against --count missing packets nested in arrays.
    void packetCounts();
};

void TestCliText::typedArguments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected"); // invalid with error=true: refused
    QTest::addColumn<bool>("error");
    QTest::newRow("plain") << "0001" << QVariant(QStringLiteral("0001")) << false;
    QTest::newRow("empty") << "" << QVariant(QString()) << false;
    QTest::newRow("unknown prefix") << "x:1" << QVariant(QStringLiteral("x:1")) << false;
    QTest::newRow("null") << "null" << QVariant() << false;
    QTest::newRow("date") << "d:2026-12-07" << QVariant(wallClock(QDate(2026, 12, 7))) << false;
    QTest::newRow("date-time") << "t:2026-12-07T10:30"
                               << QVariant(wallClock(QDate(2026, 12, 7), QTime(10, 30))) << false;
    QTest::newRow("date-time s") << "t:2026-12-07T10:30:15"
                                 << QVariant(wallClock(QDate(2026, 12, 7), QTime(10, 30, 15)))
                                 << false;
    QTest::newRow("double") << "n:1.5" << QVariant(1.5) << false;
    QTest::newRow("negative double") << "n:-2.25" << QVariant(-2.25) << false;
    QTest::newRow("integer") << "i:3" << QVariant(qint64(3)) << false;
    QTest::newRow("true") << "b:true" << QVariant(true) << false;
    QTest::newRow("FALSE") << "b:FALSE" << QVariant(false) << false;
    QTest::newRow("date dd/MM") << "d:07/12/2026" << QVariant() << true;
    QTest::newRow("no such day") << "d:2026-02-30" << QVariant() << true;
    QTest::newRow("date-time without time") << "t:2026-12-07" << QVariant() << true;
    QTest::newRow("comma decimal") << "n:1,5" << QVariant() << true;
    QTest::newRow("fraction as integer") << "i:3.5" << QVariant() << true;
    QTest::newRow("sim") << "b:sim" << QVariant() << true;
}

void TestCliText::typedArguments()
{
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    QFETCH(bool, error);
    QVariant value;
    QString why;
    QCOMPARE(parseTypedArgument(text, &value, &why), !error);
    if (error) {
        QVERIFY2(why.contains(text), qPrintable(why));
        return;
    }
    QCOMPARE(value.typeId(), expected.typeId());
    QCOMPARE(value, expected);
    if (expected.typeId() == QMetaType::QDateTime)
        QCOMPARE(value.toDateTime().timeSpec(), Qt::UTC);
}

void TestCliText::dateTimeArgumentIgnoresLocalZone()
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    // Midnight of 2018-11-04 did not exist there (clocks jumped to 01:00).
    QVariant value;
    QString why;
    const bool ok = parseTypedArgument(QStringLiteral("t:2018-11-04T00:30"), &value, &why);
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    QVERIFY2(ok, qPrintable(why));
    QCOMPARE(value.toDateTime().date(), QDate(2018, 11, 4));
    QCOMPARE(value.toDateTime().time(), QTime(0, 30));
}

void TestCliText::packetAsJson()
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("ZNOME"), FieldType::String, 40},
                        {QStringLiteral("APRECO"), FieldType::Float, 0},
                        {QStringLiteral("DTINI"), FieldType::DateTime, 0},
                        {QStringLiteral("QTDE"), FieldType::Integer, 0},
                        {QStringLiteral("ATIVO"), FieldType::Boolean, 0}});
    packet->setRowValues(packet->appendRow(), {QStringLiteral("Suco \"Verão\"\\\n\x01"), 12.5,
                                               wallClock(QDate(2026, 2, 1)), qint64(-3), true});
    packet->setRowValues(packet->appendRow(),
                         {QVariant(), std::nan(""),
                          wallClock(QDate(2026, 2, 1), QTime(17, 0, 0, 250)), QVariant(), false});
    const QString json = JsonText::toJson(QVariant::fromValue(packet));
    const QStringList lines = json.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // one row a line between the brackets
    QCOMPARE(lines[1],
             QStringLiteral("  {\"ZNOME\": \"Suco \\\"Verão\\\"\\\\\\n\\u0001\", \"APRECO\": 12.5, "
                            "\"DTINI\": \"2026-02-01T00:00:00\", \"QTDE\": -3, \"ATIVO\": true},"));
    QCOMPARE(lines[2],
             QStringLiteral("  {\"ZNOME\": null, \"APRECO\": \"NaN\", \"DTINI\": "
                            "\"2026-02-01T17:00:00.250\", \"QTDE\": null, \"ATIVO\": false}"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(doc.array().at(0).toObject().value(QStringLiteral("ZNOME")).toString(),
             QStringLiteral("Suco \"Verão\"\\\n\x01"));
}

void TestCliText::nestedValuesAndDeltaAsJson()
{
    auto a =
        std::make_shared<DataPacket>(QList<FieldDef>{{QStringLiteral("N"), FieldType::Integer, 0}});
    a->setRowValues(a->appendRow(), {qint64(1)});
    DeltaPacket delta;
    delta.fields = {{QStringLiteral("CDFILIAL"), FieldType::String, 4},
                    {QStringLiteral("VRPRECO"), FieldType::Float, 0}};
    delta.changes = {
        {ChangeKind::Update, {QStringLiteral("0001"), 1.0}, {QStringLiteral("0001"), 2.0}},
        {ChangeKind::Delete, {QStringLiteral("0002"), 3.0}, {}}};
    const QVariantList payload{QVariant::fromValue(a),
                               QVariant::fromValue(std::make_shared<DataPacket>()), true,
                               QVariant::fromValue(delta), QVariantList{1.0, QStringLiteral("x")}};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(JsonText::toJson(payload).toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray top = doc.array();
    QCOMPARE(top.size(), 5);
    QCOMPARE(top[0].toArray()[0].toObject()[QStringLiteral("N")].toInt(), 1);
    QCOMPARE(top[1].toArray().size(), 0);
    QCOMPARE(top[2].toBool(), true);
    const QJsonArray changes = top[3].toObject()[QStringLiteral("changes")].toArray();
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes[0].toObject()[QStringLiteral("kind")].toString(), QStringLiteral("update"));
    QCOMPARE(changes[0]
                 .toObject()[QStringLiteral("old")]
                 .toObject()[QStringLiteral("VRPRECO")]
                 .toDouble(),
             1.0);
    QCOMPARE(changes[0]
                 .toObject()[QStringLiteral("new")]
                 .toObject()[QStringLiteral("VRPRECO")]
                 .toDouble(),
             2.0);
    QCOMPARE(changes[1].toObject()[QStringLiteral("kind")].toString(), QStringLiteral("delete"));
    QVERIFY(changes[1].toObject()[QStringLiteral("new")].toObject().isEmpty());
    QCOMPARE(top[4].toArray()[1].toString(), QStringLiteral("x"));
}

void TestCliText::packetCounts()
{
    auto three =
        std::make_shared<DataPacket>(QList<FieldDef>{{QStringLiteral("N"), FieldType::Integer, 0}});
    for (int i = 0; i < 3; ++i)
        three->appendRow();
    DeltaPacket delta;
    delta.changes = {{ChangeKind::Insert, {}, {}}, {ChangeKind::Insert, {}, {}}};
    const QVariantList payload{QVariant::fromValue(three),
                               QVariantList{QVariant::fromValue(std::make_shared<DataPacket>())},
                               true, QVariant::fromValue(delta)};
    QCOMPARE(JsonText::packetCounts(payload), (QList<qint64>{3, 0, 2}));
    QVERIFY(JsonText::packetCounts(QVariant(true)).isEmpty());
}

QTEST_GUILESS_MAIN(TestCliText)
#include "tst_clitext.moc"
