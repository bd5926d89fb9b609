#include "SameValue.h"
#include "TestServer.h"

#include "net/AnswerPieces.h"
#include "net/RowSource.h"
#include "net/WireWriter.h"

#include <QBuffer>
#include <QCborMap>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QtEndian>
#include <QtTest>

#include <limits>

using namespace prx;
using namespace prx::wire;

namespace {

QVariant packetOf(int rows)
{
    return QVariant::fromValue(TestServer::rows(rows));
}

QByteArray bodyOf(const QByteArray &frame)
{
    return frame.mid(4);
}

// Every frame of the answer, as the server sends them.
QList<QByteArray> framesOf(const Answer &answer)
{
    AnswerWriter writer(answer);
    QList<QByteArray> frames{writer.first()};
    while (writer.hasMore())
        frames << writer.next();
    return frames;
}

// The rows of a packet handed out a few at a time, as a database read does;
// failAt > 0: the read fails on reaching that row.
class PacketRows : public RowSource
{
public:
    PacketRows(DataPacketPtr packet, int failAt) : m_packet(std::move(packet)), m_failAt(failAt) {}
    const QList<FieldDef> &fields() const override { return m_packet->fields(); }
    int fetch(DataPacket &into, int rows) override
    {
        int read = 0;
        for (; read < rows && m_next < m_packet->rowCount(); ++read, ++m_next) {
            if (m_next + 1 == m_failAt)
                return -1;
            into.setRowValues(into.appendRow(), m_packet->rowValues(m_next));
        }
        return read;
    }
    Failure failure() const override { return {500, QStringLiteral("a leitura falhou")}; }

private:
    DataPacketPtr m_packet;
    int m_failAt;
    int m_next = 0;
};

Answer readWhileSent(int rows, int failAt = 0)
{
    return {42,
            true,
            QVariant::fromValue(
                RowSourcePtr(std::make_shared<PacketRows>(TestServer::rows(rows), failAt))),
            0,
            {}};
}

// Each frame stays within a piece (past it by less than a row: 64 bytes is
// far more than any row here; the head also carries the fields of every
// packet), the reader takes them in turn, and the whole is `expected`.
void readsBackAs(const QList<QByteArray> &frames, const QVariant &expected)
{
    const qint64 rowBytes = 64, fieldsBytes = 512;
    AnswerReader reader;
    QString error;
    for (int i = 0; i < frames.size(); ++i) {
        QVERIFY2(frames[i].size() <= 4 + pieceBytes() + rowBytes + (i == 0 ? fieldsBytes : 0),
                 qPrintable(QString::number(i)));
        const AnswerReader::Step step = reader.take(bodyOf(frames[i]), &error);
        QVERIFY2(step != AnswerReader::Step::Invalid, qPrintable(error));
        QCOMPARE(step == AnswerReader::Step::Complete, i == frames.size() - 1);
    }
    QVERIFY(reader.answer().ok);
    QString why;
    QVERIFY2(sameValue(reader.answer().payload, expected, &why), qPrintable(why));
}

} // namespace

class TestWirePieces : public QObject
{
    Q_OBJECT

private slots:
    void init() { setPieceBytes(1024); }
    void cleanupTestCase() { setPieceBytes(4 * 1024 * 1024); }

    // Guards against rows lost, doubled or misplaced when packets are cut
    // into pieces, wherever the cut falls, and against frames that grow
    // with the answer instead of staying near the piece size.
    void roundTripInPieces_data();
    void roundTripInPieces();
    // Guards against an answer that fits one piece leaving in a new shape
    // that older clients cannot read.
    void smallAnswerIsTodaysFrame();
    // Guards against a broken, foreign or reordered piece being taken into
    // a packet, or a packet reported complete with rows missing.
    void badPieceIsRefused_data();
    void badPieceIsRefused();
    // Guards against rows read while they are sent arriving lost, doubled or
    // cut short, against frames that grow with the answer, and against a
    // small answer of such rows leaving in another shape than today's frame.
    void rowsReadWhileSent_data();
    void rowsReadWhileSent();
    // Guards against a read that fails midway reaching the caller as a
    // packet, however many of its rows were already sent.
    void readFailingMidway_data();
    void readFailingMidway();

    // The rows of a piece are encoded without the stream writer; the reader
    // and any other client expect the bytes the stream writer would write,
    // for every kind of cell and every width of a length or a number.
    void rowsAreWrittenAsTheStreamWriterWould_data();
    void rowsAreWrittenAsTheStreamWriterWould();
};

void TestWirePieces::rowsAreWrittenAsTheStreamWriterWould_data()
{
    QTest::addColumn<int>("type");            // FieldType
    QTest::addColumn<QVariantList>("values"); // one row each; a null QVariant is a null cell
    QTest::addColumn<int>("columns");         // the value repeated in each column of its row
    auto texts = [](std::initializer_list<int> lengths) {
        QVariantList out;
        for (int n : lengths)
            out << QString(n, QLatin1Char('a'));
        return out;
    };
    const auto text = int(FieldType::String), real = int(FieldType::Float),
               integer = int(FieldType::Integer), boolean = int(FieldType::Boolean),
               date = int(FieldType::DateTime);
    QTest::newRow("text around each length width")
        << text << texts({0, 1, 23, 24, 255, 256, 65535, 65536}) << 1;
    QTest::newRow("text not ASCII") << text
                                    << QVariantList{QStringLiteral("Preço à vista"),
                                                    QStringLiteral("Pão 🍞 Ñandú"),
                                                    QStringLiteral("\uFEFFmarca"),
                                                    QVariant(),
                                                    QString(),
                                                    QStringLiteral("ç")}
                                    << 1;
    QTest::newRow("doubles") << real
                             << QVariantList{0.0,
                                             -0.0,
                                             std::numeric_limits<double>::quiet_NaN(),
                                             std::numeric_limits<double>::infinity(),
                                             -std::numeric_limits<double>::infinity(),
                                             0.1,
                                             -12.5,
                                             1e300,
                                             std::numeric_limits<double>::denorm_min(),
                                             QVariant()}
                             << 1;
    QVariantList integers;
    for (qint64 v : {0ll, 1ll, 23ll, 24ll, 255ll, 256ll, 65535ll, 65536ll, 4294967295ll,
                     4294967296ll, std::numeric_limits<qint64>::max()}) {
        integers << v << -v - 1;
    }
    integers << std::numeric_limits<qint64>::min() << QVariant();
    QTest::newRow("integers of every width, both signs") << integer << integers << 1;
    QTest::newRow("booleans") << boolean << QVariantList{true, false, QVariant(), true} << 1;
    const QDateTime day = wallClock(QDate(2026, 12, 7));
    QTest::newRow("date-times, repeated and not")
        << date
        << QVariantList{day,
                        day,
                        day.addMSecs(1),
                        QVariant(),
                        day,
                        wallClock(QDate(1969, 12, 31), QTime(23, 59, 59, 999)),
                        wallClock(QDate(12026, 1, 1)),
                        day.addSecs(3600)}
        << 1;
    QTest::newRow("rows of 23 columns")
        << integer << QVariantList{qint64(7), QVariant(), qint64(-300)} << 23;
    QTest::newRow("rows of 24 columns")
        << text << QVariantList{QStringLiteral("x"), QVariant()} << 24;
    QTest::newRow("rows of 300 columns") << boolean << QVariantList{false, QVariant()} << 300;
}

void TestWirePieces::rowsAreWrittenAsTheStreamWriterWould()
{
    QFETCH(int, type);
    QFETCH(QVariantList, values);
    QFETCH(int, columns);
    QList<FieldDef> fields;
    for (int c = 0; c < columns; ++c)
        fields << FieldDef{QStringLiteral("C%1").arg(c), FieldType(type), 0};
    DataPacket packet(fields);
    for (const QVariant &v : values) {
        const int r = packet.appendRow();
        for (int c = 0; c < columns; ++c)
            packet.setValue(r, c, v);
    }

    QByteArray expected;
    {
        QCborStreamWriter writer(&expected);
        writer.startArray();
        for (const QVariant &v : values) {
            writer.startArray(quint64(columns));
            for (int c = 0; c < columns; ++c) {
                if (v.isNull())
                    writer.appendNull();
                else if (type == int(FieldType::String))
                    writer.append(v.toString());
                else if (type == int(FieldType::Float))
                    writer.append(v.toDouble());
                else if (type == int(FieldType::Integer))
                    writer.append(v.toLongLong());
                else if (type == int(FieldType::Boolean))
                    writer.append(v.toBool());
                else {
                    writer.append(QCborKnownTags::DateTimeString);
                    writer.append(QString::fromLatin1(
                        formatDateTime(wallClock(v.toDateTime()).toMSecsSinceEpoch())));
                }
            }
            writer.endArray();
        }
        writer.endArray();
    }

    // Once with every row in one list, once a row at a time as a piece
    // stops at its size and the next one goes on.
    for (const qint64 limit : {std::numeric_limits<qint64>::max(), qint64(0)}) {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QCborStreamWriter writer(&buffer);
        WireWriter wire(writer);
        writer.startArray();
        int next = 0;
        while (next < packet.rowCount())
            next = wire.rowsWhile(packet, next, out, limit == 0 ? out.size() + 1 : limit);
        writer.endArray();
        QCOMPARE(out.toHex(' '), expected.toHex(' '));
    }
}

void TestWirePieces::rowsReadWhileSent_data()
{
    QTest::addColumn<int>("rows");
    for (int rows : {0, 1, 10, 30, 1023, 1024, 1025, 5000})
        QTest::addRow("%d rows", rows) << rows;
}

void TestWirePieces::rowsReadWhileSent()
{
    QFETCH(int, rows);
    const QList<QByteArray> frames = framesOf(readWhileSent(rows));
    const Answer inMemory{42, true, packetOf(rows), 0, {}};
    if (frames.size() == 1)
        QCOMPARE(frames[0], framesOf(inMemory)[0]);
    readsBackAs(frames, inMemory.payload);
}

void TestWirePieces::readFailingMidway_data()
{
    QTest::addColumn<int>("failAt");
    QTest::newRow("first row") << 1;
    QTest::newRow("among the head's rows") << 5;
    QTest::newRow("midway") << 3000;
    QTest::newRow("last row") << 5000;
}

void TestWirePieces::readFailingMidway()
{
    QFETCH(int, failAt);
    AnswerWriter writer(readWhileSent(5000, failAt));
    QVERIFY(writer.readsRows());
    AnswerReader reader;
    QString error;
    AnswerReader::Step step = reader.take(bodyOf(writer.first()), &error);
    while (step == AnswerReader::Step::More && writer.hasMore())
        step = reader.take(bodyOf(writer.next()), &error);
    QCOMPARE(step, AnswerReader::Step::Complete);
    QVERIFY2(!reader.answer().ok, "a failed read was answered as a packet");
    QCOMPARE(reader.answer().errorCode, 500);
    QCOMPARE(reader.answer().errorMessage, QStringLiteral("a leitura falhou"));
    QCOMPARE(writer.failure(), QStringLiteral("a leitura falhou"));
    QVERIFY(!writer.hasMore());
}

void TestWirePieces::roundTripInPieces_data()
{
    QTest::addColumn<QVariant>("payload");
    QTest::newRow("one packet") << packetOf(900);
    QTest::newRow("several packets") << QVariant(
        QVariantList{packetOf(300), QStringLiteral("meio"), packetOf(5), packetOf(400)});
    QTest::newRow("nested lists with an empty packet")
        << QVariant(QVariantList{QVariantList{packetOf(0), packetOf(250)},
                                 QVariantList{qint64(3), QVariantList{packetOf(120)}}});
    // Each count below stops the rows at another place of a piece, one of
    // them right at its end.
    for (int rows = 20; rows <= 80; ++rows)
        QTest::newRow(qPrintable(QStringLiteral("%1 rows").arg(rows))) << packetOf(rows);
}

void TestWirePieces::roundTripInPieces()
{
    QFETCH(QVariant, payload);
    const QList<QByteArray> frames = framesOf({42, true, payload, 0, {}});
    readsBackAs(frames, payload);
}

void TestWirePieces::smallAnswerIsTodaysFrame()
{
    for (const QVariant &payload : {packetOf(10), QVariant(QVariantList{packetOf(3), 1.5})}) {
        const Answer answer{7, true, payload, 0, {}};
        const QList<QByteArray> frames = framesOf(answer);
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0], encodeAnswer(answer));
    }
}

void TestWirePieces::badPieceIsRefused_data()
{
    QTest::addColumn<QString>("change"); // done to the first piece
    QTest::addColumn<QString>("fragment");
    QTest::newRow("another call") << "id"
                                  << "chamada 8";
    QTest::newRow("out of order") << "piece"
                                  << "fora de ordem";
    QTest::newRow("ends early") << "last"
                                << "anunciou";
    QTest::newRow("no rows") << "rows"
                             << "sem linhas";
    QTest::newRow("extra key") << "extra"
                               << "chave a mais";
    QTest::newRow("not cbor") << "garbage"
                              << "Resposta inválida";
}

void TestWirePieces::badPieceIsRefused()
{
    QFETCH(QString, change);
    QFETCH(QString, fragment);
    const QList<QByteArray> frames = framesOf({7, true, packetOf(200), 0, {}});
    QVERIFY(frames.size() > 2);
    QCborMap piece = QCborValue::fromCbor(bodyOf(frames[1])).toMap();
    QVERIFY(!piece.isEmpty());
    if (change == "id")
        piece[QLatin1StringView("id")] = 8;
    else if (change == "piece")
        piece[QLatin1StringView("piece")] = 1;
    else if (change == "last")
        piece[QLatin1StringView("last")] = true;
    else if (change == "rows")
        piece[QLatin1StringView("rows")] = QCborArray();
    else if (change == "extra")
        piece.insert(QLatin1StringView("a"), 1);
    const QByteArray body =
        change == "garbage" ? QByteArray("\xff\x00\x13", 3) : piece.toCborValue().toCbor();

    AnswerReader reader;
    QString error;
    QCOMPARE(reader.take(bodyOf(frames[0]), &error), AnswerReader::Step::More);
    QCOMPARE(reader.take(body, &error), AnswerReader::Step::Invalid);
    QVERIFY2(error.contains(fragment), qPrintable(error));
    // An error answer in place of a piece ends the answer with that error.
    AnswerReader again;
    QCOMPARE(again.take(bodyOf(frames[0]), &error), AnswerReader::Step::More);
    const QByteArray failure = encodeAnswer({7, false, {}, 500, QStringLiteral("falhou")});
    QCOMPARE(again.take(bodyOf(failure), &error), AnswerReader::Step::Complete);
    QVERIFY(!again.answer().ok);
    QCOMPARE(again.answer().errorMessage, QStringLiteral("falhou"));
}

QTEST_GUILESS_MAIN(TestWirePieces)
#include "tst_wirepieces.moc"
