#include "SameValue.h"
#include "WireSamples.h"

#include "net/Wire.h"

#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace prx;
using namespace prx::wire;

class TestWire : public QObject
{
    Q_OBJECT

private slots:
    // Guards against a value changing type, precision or text on its way
    // through a request and through an answer.
    void valueRoundTrip_data();
    void valueRoundTrip();
    // Guards against a date-time being shifted when it was built in local time.
    void localDateTimeTravelsAsWallClock();
    // Guards against the hand-made date-time text disagreeing with the calendar.
    void dateTimeTextAgreesWithCalendar();
    void dateTimeTextIsStrict_data();
    void dateTimeTextIsStrict();
    // Guards against cells of any type, nulls included, being lost or altered.
    void dataPacketRoundTrip();
    void largePacketRoundTrip();
    void emptyPackets();
    // Guards against a delta losing kinds, order, originals or cell types.
    void deltaRoundTrip();
    // Guards against the framing losing or merging frames however bytes arrive.
    void framesArrivingByteByByte();
    void twoFramesInOneRead();
    void oversizeFrameDetectedFromItsHeader();
};

void TestWire::valueRoundTrip_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("ascii") << QVariant(QStringLiteral("Tabela 001"));
    QTest::newRow("accents") << QVariant(QStringLiteral("Pão de queijo à moda São João"));
    QTest::newRow("emoji") << QVariant(QStringLiteral("Combo 🍔🍟 grande"));
    QTest::newRow("embedded nul") << QVariant(QStringView(u"a\0b", 3).toString());
    QTest::newRow("empty text") << QVariant(QString(QLatin1StringView("")));
    QTest::newRow("0.1") << QVariant(0.1);
    QTest::newRow("-0.0") << QVariant(-0.0);
    QTest::newRow("nan") << QVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("+inf") << QVariant(std::numeric_limits<double>::infinity());
    QTest::newRow("-inf") << QVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("1e-300") << QVariant(1e-300);
    QTest::newRow("denormal") << QVariant(std::numeric_limits<double>::denorm_min());
    QTest::newRow("max double") << QVariant(std::numeric_limits<double>::max());
    QTest::newRow("price") << QVariant(999999999999999.0 - 0.01);
    QTest::newRow("int zero") << QVariant(qint64(0));
    QTest::newRow("int -1") << QVariant(qint64(-1));
    QTest::newRow("int min") << QVariant(std::numeric_limits<qint64>::min());
    QTest::newRow("int max") << QVariant(std::numeric_limits<qint64>::max());
    QTest::newRow("true") << QVariant(true);
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("null") << QVariant();
    QTest::newRow("midnight") << QVariant(wallClock(QDate(2026, 2, 1)));
    QTest::newRow("with ms") << QVariant(wallClock(QDate(2026, 12, 7), QTime(10, 30, 5, 123)));
    QTest::newRow("1900") << QVariant(wallClock(QDate(1900, 1, 1), QTime(23, 59, 59)));
    QTest::newRow("last ms") << QVariant(wallClock(QDate(9999, 12, 31), QTime(23, 59, 59, 999)));
    QTest::newRow("leap day") << QVariant(wallClock(QDate(2024, 2, 29), QTime(12, 0)));
    QTest::newRow("list") << QVariant(QVariantList{qint64(1), QStringLiteral("dois"), 3.5,
                                                   QVariant(), QVariantList{true, QVariantList{}}});
    QTest::newRow("empty list") << QVariant(QVariantList{});
}

void TestWire::valueRoundTrip()
{
    QFETCH(QVariant, value);
    QString why;
    QVERIFY2(sameValue(throughRequest(value), value, &why), qPrintable(why));
    QVERIFY2(sameValue(throughAnswer(value), value, &why), qPrintable(why));
}

void TestWire::localDateTimeTravelsAsWallClock()
{
    const QDateTime local(QDate(2026, 2, 1), QTime(8, 15), Qt::LocalTime);
    const QDateTime offset(QDate(2026, 2, 1), QTime(8, 15), Qt::OffsetFromUTC, -3 * 3600);
    for (const QDateTime &sent : {local, offset}) {
        const QDateTime got = throughRequest(sent).toDateTime();
        QCOMPARE(got.date(), QDate(2026, 2, 1));
        QCOMPARE(got.time(), QTime(8, 15));
        QCOMPARE(got.timeSpec(), Qt::UTC);
    }
    // A QDate stands for its midnight.
    QCOMPARE(throughRequest(QDate(2026, 3, 4)).toDateTime(), wallClock(QDate(2026, 3, 4)));
}

void TestWire::dateTimeTextAgreesWithCalendar()
{
    QCOMPARE(formatDateTime(0), QByteArray("1970-01-01T00:00:00Z"));
    QCOMPARE(formatDateTime(-1), QByteArray("1969-12-31T23:59:59.999Z"));
    // Dates across the whole range of the business, each checked against
    // Qt's own calendar and read back.
    QRandomGenerator rng(20261207);
    const qint64 from = wallClock(QDate(1, 1, 1)).toMSecsSinceEpoch();
    const qint64 to = wallClock(QDate(9999, 12, 31), QTime(23, 59, 59, 999)).toMSecsSinceEpoch();
    for (int i = 0; i < 20000; ++i) {
        qint64 ms = from + qint64(rng.bounded(double(to - from)));
        if (i % 2)
            ms -= ms % 1000; // half of them whole seconds
        const QDateTime dt = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        const QString expected = dt.toString(ms % 1000 ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                       : QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
                                 QLatin1Char('Z');
        const QByteArray text = formatDateTime(ms);
        QCOMPARE(QString::fromLatin1(text), expected);
        qint64 back = 0;
        QVERIFY(parseDateTime(text, &back));
        QCOMPARE(back, ms);
    }
    // Far outside that range the text still reads back to the same instant.
    for (qint64 ms :
         {std::numeric_limits<qint64>::min() / 2, std::numeric_limits<qint64>::max() / 2,
          qint64(-62135596800001), qint64(253402300800000)}) {
        qint64 back = 0;
        QVERIFY2(parseDateTime(formatDateTime(ms), &back), formatDateTime(ms).constData());
        QCOMPARE(back, ms);
    }
}

void TestWire::dateTimeTextIsStrict_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QByteArray("2026-02-01T00:00:00Z") << true;
    QTest::newRow("ms") << QByteArray("2026-02-01T10:30:00.250Z") << true;
    QTest::newRow("leap day") << QByteArray("2024-02-29T00:00:00Z") << true;
    QTest::newRow("no leap 2100") << QByteArray("2100-02-29T00:00:00Z") << false;
    QTest::newRow("feb 30") << QByteArray("2026-02-30T00:00:00Z") << false;
    QTest::newRow("month 13") << QByteArray("2026-13-01T00:00:00Z") << false;
    QTest::newRow("hour 24") << QByteArray("2026-02-01T24:00:00Z") << false;
    QTest::newRow("second 60") << QByteArray("2026-02-01T23:59:60Z") << false;
    QTest::newRow("no zone") << QByteArray("2026-02-01T00:00:00") << false;
    QTest::newRow("offset") << QByteArray("2026-02-01T00:00:00-03:00") << false;
    QTest::newRow("two ms digits") << QByteArray("2026-02-01T00:00:00.25Z") << false;
    QTest::newRow("space") << QByteArray("2026-02-01 00:00:00Z") << false;
    QTest::newRow("short month") << QByteArray("2026-2-01T00:00:00Z") << false;
    QTest::newRow("trailing") << QByteArray("2026-02-01T00:00:00Z ") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("year padded") << QByteArray("02026-02-01T00:00:00Z") << false;
}

void TestWire::dateTimeTextIsStrict()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    qint64 ms = 0;
    QCOMPARE(parseDateTime(text, &ms), valid);
}

void TestWire::dataPacketRoundTrip()
{
    auto packet = std::make_shared<DataPacket>(allTypes());
    // Row 0: every cell null. Row 1..: values that are easy to damage.
    packet->appendRow();
    const QList<QVariantList> rows = {
        {QStringLiteral("Açaí 🍧 \"especial\""), -0.0, wallClock(QDate(2026, 2, 1)), qint64(-5),
         true},
        {QString(QLatin1StringView("")), std::nan(""),
         wallClock(QDate(1999, 12, 31), QTime(23, 59, 59, 1)), std::numeric_limits<qint64>::max(),
         false},
        {QStringView(u"x\0y", 3).toString(), 1e-300, QVariant(), QVariant(), QVariant()},
        {QVariant(), 12.34, QVariant(), qint64(0), true},
    };
    for (const QVariantList &values : rows)
        packet->setRowValues(packet->appendRow(), values);
    for (int c = 0; c < packet->columnCount(); ++c)
        QVERIFY(packet->isNull(0, c));

    const QVariant back = throughAnswer(QVariant::fromValue(packet));
    const DataPacketPtr got = back.value<DataPacketPtr>();
    QVERIFY(got);
    QCOMPARE(got->fields(), packet->fields());
    QVERIFY(*got == *packet);
    // An empty text is a value, not a null.
    QVERIFY(!got->isNull(2, 0));
    QVERIFY(got->isNull(4, 0));
}

void TestWire::largePacketRoundTrip()
{
    QList<FieldDef> fields;
    for (int i = 0; i < 21; ++i)
        fields.append({QStringLiteral("F%1").arg(i), allTypes()[i % 5].type, 20});
    DataPacket packet(fields);
    const int n = 100000;
    packet.reserve(n);
    for (int r = 0; r < n; ++r) {
        packet.appendRow();
        for (int c = 0; c < 21; ++c) {
            if ((r + c) % 11 == 0)
                continue;
            switch (fields[c].type) {
            case FieldType::String:
                packet.setString(r, c, QStringLiteral("Produto %1 ç").arg(r * 31 + c));
                break;
            case FieldType::Float:
                packet.setReal(r, c, r / 7.0 + c);
                break;
            case FieldType::DateTime:
                packet.setDateTimeMs(r, c, qint64(r) * 86400000 + c);
                break;
            case FieldType::Integer:
                packet.setInteger(r, c, qint64(r) * c - 50000);
                break;
            case FieldType::Boolean:
                packet.setBoolean(r, c, r % 2);
                break;
            }
        }
    }
    QByteArray bytes;
    {
        QCborStreamWriter w(&bytes);
        writeDataPacket(w, packet);
    }
    QCborStreamReader reader(bytes);
    DataPacket back;
    QString error;
    QVERIFY2(readDataPacket(reader, &back, &error), qPrintable(error));
    QCOMPARE(back.rowCount(), n);
    QVERIFY(back == packet);
}

void TestWire::emptyPackets()
{
    const QVariantList payload{QVariant::fromValue(std::make_shared<DataPacket>()),
                               QVariant::fromValue(std::make_shared<DataPacket>(allTypes())),
                               QVariant::fromValue(DataPacketPtr()),
                               QVariant::fromValue(DeltaPacket())};
    const QVariantList back = throughAnswer(payload).toList();
    QCOMPARE(back.size(), 4);
    const DataPacketPtr none = back[0].value<DataPacketPtr>();
    QVERIFY(none);
    QCOMPARE(none->columnCount(), 0);
    QCOMPARE(none->rowCount(), 0);
    const DataPacketPtr noRows = back[1].value<DataPacketPtr>();
    QVERIFY(noRows);
    QCOMPARE(noRows->fields(), allTypes());
    QCOMPARE(noRows->rowCount(), 0);
    QVERIFY(!back[2].isValid()); // a missing packet is a null
    QVERIFY(back[3].value<DeltaPacket>().isEmpty());
    QCOMPARE(back[3].typeId(), qMetaTypeId<DeltaPacket>());
}

void TestWire::deltaRoundTrip()
{
    DeltaPacket delta;
    delta.fields = allTypes();
    const QDateTime day = wallClock(QDate(2026, 2, 1), QTime(17, 0));
    delta.changes = {
        {ChangeKind::Insert, {}, {QStringLiteral("novo"), 1.5, day, qint64(3), true}},
        {ChangeKind::Update,
         {QStringLiteral("antes"), QVariant(), day, qint64(1), false},
         {QStringLiteral("depois"), -0.0, QVariant(), qint64(2), true}},
        {ChangeKind::Delete, {QStringLiteral("fim"), 2.0, day, QVariant(), QVariant()}, {}},
    };
    QString why;
    const QVariant back = throughRequest(QVariant::fromValue(delta));
    QVERIFY2(sameValue(back, QVariant::fromValue(delta), &why), qPrintable(why));

    // A whole number in a float field still arrives as a double.
    DeltaPacket whole;
    whole.fields = {{QStringLiteral("VRPRECO"), FieldType::Float, 0}};
    whole.changes = {{ChangeKind::Insert, {}, {QVariant(5)}}};
    const DeltaPacket got = throughRequest(QVariant::fromValue(whole)).value<DeltaPacket>();
    QCOMPARE(got.changes.size(), 1);
    QCOMPARE(got.changes[0].current[0].typeId(), int(QMetaType::Double));
    QCOMPARE(got.changes[0].current[0].toDouble(), 5.0);
}

void TestWire::framesArrivingByteByByte()
{
    const QByteArray one = encodeRequest({1, QStringLiteral("O"), QStringLiteral("A"), {1.5}});
    const QByteArray two = encodeRequest({2, QStringLiteral("O"), QStringLiteral("B"), {}});
    const QByteArray stream = one + two;
    QByteArray buffer, body;
    QList<qint64> ids;
    for (char byte : stream) {
        buffer.append(byte);
        while (takeFrame(buffer, &body) == FrameStatus::Ready) {
            Request r;
            QString error;
            QVERIFY2(decodeRequest(body, &r, &error), qPrintable(error));
            ids.append(r.id);
            // A frame is complete exactly when its last byte has arrived.
            QCOMPARE(buffer.size(), 0);
        }
    }
    QCOMPARE(ids, (QList<qint64>{1, 2}));
}

void TestWire::twoFramesInOneRead()
{
    QByteArray buffer = encodeAnswer({1, true, QStringLiteral("um"), 0, {}}) +
                        encodeAnswer({2, false, {}, 4, QStringLiteral("erro dois")});
    buffer += encodeAnswer({3, true, 3.0, 0, {}}).left(6); // start of a third
    QByteArray body;
    Answer a;
    QString error;
    QCOMPARE(takeFrame(buffer, &body), FrameStatus::Ready);
    QVERIFY(decodeAnswer(body, &a, &error));
    QCOMPARE(a.id, 1);
    QCOMPARE(a.payload.toString(), QStringLiteral("um"));
    QCOMPARE(takeFrame(buffer, &body), FrameStatus::Ready);
    QVERIFY(decodeAnswer(body, &a, &error));
    QCOMPARE(a.id, 2);
    QVERIFY(!a.ok);
    QCOMPARE(a.errorCode, 4);
    QCOMPARE(a.errorMessage, QStringLiteral("erro dois"));
    QCOMPARE(takeFrame(buffer, &body), FrameStatus::Incomplete);
    QCOMPARE(buffer.size(), 6);
}

void TestWire::oversizeFrameDetectedFromItsHeader()
{
    QByteArray buffer(4, '\0');
    qToBigEndian(quint32(1001), buffer.data());
    QByteArray body;
    // Known as soon as the length is in, without waiting for the body.
    QCOMPARE(takeFrame(buffer, &body, 1000), FrameStatus::TooLarge);
    QCOMPARE(takeFrame(buffer, &body, 1001), FrameStatus::Incomplete);
    qToBigEndian(MaxFrameBytes + 1, buffer.data());
    QCOMPARE(takeFrame(buffer, &body), FrameStatus::TooLarge);
}

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
