// Encodes and decodes a 100,000-row packet shaped like the price items with
// the wire codec, and the same rows as JSON (array of objects: build, write,
// parse, read every value back into columns). Prints the median of several
// runs of each and the ratio.

#include "BenchFigures.h"

#include "net/AnswerPieces.h"
#include "net/Wire.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

using namespace prx;
using namespace prx::bench;

namespace {

constexpr int Rows = 100000;
constexpr int Runs = 5;

QList<FieldDef> priceItemFields()
{
    return {{"CDFILIAL", FieldType::String, 4},      {"CDTABEPREC", FieldType::String, 3},
            {"DTINIVGPREC", FieldType::DateTime, 0}, {"CDPRODUTO", FieldType::String, 10},
            {"CDARVPROD", FieldType::String, 20},    {"NMPRODUTO", FieldType::String, 50},
            {"VRPRECCONS", FieldType::Float, 0},     {"VRPRECCLIE", FieldType::Float, 0},
            {"VRPRECDELI", FieldType::Float, 0},     {"VRPRECCOMA", FieldType::Float, 0},
            {"VRPRECSUGE", FieldType::Float, 0},     {"VRPRECCALC", FieldType::Float, 0},
            {"IDPRECVARI", FieldType::String, 1},    {"IDPROMOCAO", FieldType::String, 1},
            {"HRINIVEND", FieldType::String, 4},     {"HRFINVEND", FieldType::String, 4},
            {"CDPRPAITABPR", FieldType::String, 10}, {"NMGRUPPROD", FieldType::String, 40},
            {"VRPERCMARG", FieldType::Float, 0},     {"VRCUSTPROD", FieldType::Float, 0},
            {"DSOBSERV", FieldType::String, 50}};
}

DataPacket makePacket()
{
    static const char *const words[] = {"Refrigerante", "Cola",    "Lata",  "350ml",    "Suco",
                                        "Laranja",      "Pão",     "de",    "Queijo",   "Combo",
                                        "Família",      "Açaí",    "Café",  "Expresso", "Duplo",
                                        "Sanduíche",    "Natural", "Frango"};
    QRandomGenerator rng(7);
    DataPacket p(priceItemFields());
    p.reserve(Rows);
    for (int r = 0; r < Rows; ++r) {
        p.appendRow();
        for (int c = 0; c < p.columnCount(); ++c) {
            const FieldDef &f = p.field(c);
            if (c > 5 && rng.bounded(10) == 0)
                continue; // some nulls
            switch (f.type) {
            case FieldType::String: {
                const int want = std::max(3, std::min(f.size, 3 + int(rng.bounded(48))));
                QString s;
                while (s.size() < want)
                    s += QLatin1String(words[rng.bounded(18)]) + QLatin1Char(' ');
                p.setString(r, c, QStringView(s).left(want));
                break;
            }
            case FieldType::Float:
                p.setReal(r, c, rng.bounded(100000) / 100.0);
                break;
            case FieldType::DateTime:
                p.setDateTime(r, c, wallClock(QDate(2026, 1, 1).addDays(rng.bounded(365))));
                break;
            default:
                break;
            }
        }
    }
    return p;
}

double runWire(const DataPacket &packet, qint64 *bytes, double *encodeMs)
{
    QElapsedTimer t;
    t.start();
    QByteArray out;
    {
        QCborStreamWriter w(&out);
        wire::writeDataPacket(w, packet);
    }
    *encodeMs = t.nsecsElapsed() / 1e6;
    QCborStreamReader reader(out);
    DataPacket back;
    QString error;
    if (!wire::readDataPacket(reader, &back, &error) || back.rowCount() != packet.rowCount()) {
        std::fprintf(stderr, "wire decode failed: %s\n", qPrintable(error));
        std::exit(1);
    }
    *bytes = out.size();
    return t.nsecsElapsed() / 1e6;
}

// The same packet as an answer in pieces of the default size: every frame
// written, then read back into one packet, as server and client do.
double runPieces(const DataPacket &packet, int *frames)
{
    const wire::Answer answer{
        1, true, QVariant::fromValue(std::make_shared<DataPacket>(packet)), 0, {}};
    QElapsedTimer t;
    t.start();
    wire::AnswerWriter writer(answer);
    wire::AnswerReader reader;
    QString error;
    QByteArray frame = writer.first();
    *frames = 0;
    for (;;) {
        ++*frames;
        const auto step = reader.take(frame.mid(4), &error);
        if (step == wire::AnswerReader::Step::Invalid) {
            std::fprintf(stderr, "pieces decode failed: %s\n", qPrintable(error));
            std::exit(1);
        }
        if (step == wire::AnswerReader::Step::Complete)
            break;
        frame = writer.next();
    }
    const double ms = t.nsecsElapsed() / 1e6;
    if (reader.answer().payload.value<DataPacketPtr>()->rowCount() != packet.rowCount()) {
        std::fprintf(stderr, "pieces lost rows\n");
        std::exit(1);
    }
    return ms;
}

double runJson(const DataPacket &packet, qint64 *bytes)
{
    QElapsedTimer t;
    t.start();
    const int columns = packet.columnCount();
    QJsonArray rows;
    for (int r = 0; r < packet.rowCount(); ++r) {
        QJsonObject o;
        for (int c = 0; c < columns; ++c) {
            const QString &name = packet.field(c).name;
            if (packet.isNull(r, c)) {
                o.insert(name, QJsonValue::Null);
                continue;
            }
            switch (packet.field(c).type) {
            case FieldType::String:
                o.insert(name, packet.string(r, c));
                break;
            case FieldType::Float:
                o.insert(name, packet.real(r, c));
                break;
            case FieldType::DateTime:
                o.insert(name, QString::fromLatin1(wire::formatDateTime(packet.dateTimeMs(r, c))));
                break;
            default:
                o.insert(name, packet.integer(r, c));
            }
        }
        rows.append(o);
    }
    const QByteArray text = QJsonDocument(rows).toJson(QJsonDocument::Compact);

    const QJsonArray parsed = QJsonDocument::fromJson(text).array();
    DataPacket back(packet.fields());
    back.reserve(int(parsed.size()));
    for (const QJsonValue &row : parsed) {
        const QJsonObject o = row.toObject();
        const int r = back.appendRow();
        for (int c = 0; c < columns; ++c) {
            const QJsonValue v = o.value(packet.field(c).name);
            if (v.isNull())
                continue;
            switch (packet.field(c).type) {
            case FieldType::String:
                back.setString(r, c, v.toString());
                break;
            case FieldType::Float:
                back.setReal(r, c, v.toDouble());
                break;
            case FieldType::DateTime: {
                qint64 ms = 0;
                wire::parseDateTime(v.toString().toLatin1(), &ms);
                back.setDateTimeMs(r, c, ms);
                break;
            }
            default:
                back.setInteger(r, c, v.toInteger());
            }
        }
    }
    if (back.rowCount() != packet.rowCount()) {
        std::fprintf(stderr, "json round trip lost rows\n");
        std::exit(1);
    }
    *bytes = text.size();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    // "wire" runs only the codec, for a profiler.
    const bool wireOnly = argc > 1 && qstrcmp(argv[1], "wire") == 0;
    const DataPacket packet = makePacket();
    std::vector<double> wireMs, encodeMs, jsonMs, piecesMs;
    int frames = 0;
    qint64 wireBytes = 0, jsonBytes = 0;
    for (int i = 0; i < Runs; ++i) {
        double encode = 0;
        wireMs.push_back(runWire(packet, &wireBytes, &encode));
        encodeMs.push_back(encode);
        piecesMs.push_back(runPieces(packet, &frames));
        if (!wireOnly)
            jsonMs.push_back(runJson(packet, &jsonBytes));
    }
    const double w = median(wireMs), j = wireOnly ? 0.0 : median(jsonMs);
    std::printf("packet: %d rows x %d fields\n", packet.rowCount(), packet.columnCount());
    std::printf("wire codec (encode+decode): %8.1f ms  %6.1f MB  (encode %.1f ms)\n", w,
                wireBytes / 1e6, median(encodeMs));
    std::printf("wire codec in %d pieces:    %8.1f ms  (%.2fx one frame; target ~1x)\n", frames,
                median(piecesMs), median(piecesMs) / w);
    std::printf("JSON       (encode+decode): %8.1f ms  %6.1f MB\n", j, jsonBytes / 1e6);
    std::printf("ratio JSON/wire: %.1fx (target >= 5x), median of %d runs\n", j / w, Runs);
    return 0;
}
