// prx-fuzz-seeds DIR: writes the starting corpus of every fuzz target into
// DIR/<target>/, from the same kinds of values the tests use. Run once when a
// reader's format changes; the files live in the repository.
#include "FuzzEntries.h"

#include "net/Wire.h"

#include <QCborStreamWriter>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

using namespace prx;

namespace {

void save(const QString &dir, const QString &target, int n, const QByteArray &bytes)
{
    QDir().mkpath(dir + u'/' + target);
    QFile f(QStringLiteral("%1/%2/seed-%3").arg(dir, target).arg(n, 2, 10, QLatin1Char('0')));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
}

QList<FieldDef> itemFields()
{
    return {{QStringLiteral("CDFILIAL"), FieldType::String, 4},
            {QStringLiteral("VRPRECITEM"), FieldType::Float, 0},
            {QStringLiteral("DTINIVGPREC"), FieldType::DateTime, 0},
            {QStringLiteral("NRCOMPPROD"), FieldType::Integer, 0},
            {QStringLiteral("IDPROMOCAO"), FieldType::Boolean, 0}};
}

DataPacketPtr packet(int rows)
{
    auto p = std::make_shared<DataPacket>(itemFields());
    for (int r = 0; r < rows; ++r) {
        const int row = p->appendRow();
        if (r % 3 == 2)
            continue; // a row of nulls
        p->setRowValues(row, {QStringLiteral("00%1").arg(r % 10), 1.5 * r,
                              wallClock(QDate(2026, 2, 1).addDays(r)), qint64(r), r % 2 == 0});
    }
    return p;
}

DeltaPacket delta()
{
    DeltaPacket d;
    d.fields = itemFields();
    const QVariantList a{QStringLiteral("0001"), 9.99, wallClock(QDate(2026, 3, 1)), qint64(0),
                         false};
    QVariantList b = a;
    b[1] = 10.49;
    b[4] = true;
    d.changes << DeltaChange{ChangeKind::Insert, {}, a} << DeltaChange{ChangeKind::Update, a, b}
              << DeltaChange{ChangeKind::Delete, b, {}};
    return d;
}

template <typename W> QByteArray cbor(W write)
{
    QByteArray bytes;
    QCborStreamWriter writer(&bytes);
    write(writer);
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: prx-fuzz-seeds DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);

    const QList<wire::Request> requests{
        {1,
         QStringLiteral("Prx51700.rdmTabePreco"),
         QStringLiteral("GetFilial"),
         {QStringLiteral("0001"), QStringLiteral("N")}},
        {2,
         QStringLiteral("Prx51700.rdmTabePreco"),
         QStringLiteral("GetItemPreco"),
         {QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("00001"),
          QStringLiteral("3"), wallClock(QDate(2026, 2, 1)), QString(), QStringLiteral("T")}},
        {3,
         QStringLiteral("Prx51700.rdmTabePreco"),
         QStringLiteral("SetItemPreco"),
         {QVariant::fromValue(delta()), QString()}},
        {4,
         QStringLiteral("Teste.rdmEco"),
         QStringLiteral("Echo"),
         {QVariantList{1.25, qint64(-7), true, QVariant(), QVariantList{QStringLiteral("Água")}}}},
        {5,
         QStringLiteral("Teste.rdmEco"),
         QStringLiteral("Echo"),
         {QVariant::fromValue(packet(4))}},
    };
    int n = 0;
    QByteArray two;
    for (const wire::Request &r : requests) {
        const QByteArray frame = wire::encodeRequest(r);
        save(dir, QStringLiteral("frame_decoder"), n++, frame);
        two += frame;
    }
    save(dir, QStringLiteral("frame_decoder"), n++, two);
    const wire::Answer answers[] = {
        {1, true, QVariant::fromValue(packet(3)), 0, {}},
        {2, false, {}, 6, QStringLiteral("Registro alterado por outro usuário.")},
    };
    for (const wire::Answer &a : answers)
        save(dir, QStringLiteral("frame_decoder"), n++, wire::encodeAnswer(a));

    n = 0;
    for (int rows : {0, 1, 5})
        save(dir, QStringLiteral("data_packet"), n++,
             cbor([&](QCborStreamWriter &w) { wire::writeDataPacket(w, *packet(rows)); }));
    save(dir, QStringLiteral("delta_packet"), 0,
         cbor([&](QCborStreamWriter &w) { wire::writeDeltaPacket(w, delta()); }));
    DeltaPacket empty;
    empty.fields = itemFields();
    save(dir, QStringLiteral("delta_packet"), 1,
         cbor([&](QCborStreamWriter &w) { wire::writeDeltaPacket(w, empty); }));

    n = 0;
    for (const char *arg : {"0001", "d:2026-12-07", "t:2026-12-07T10:30", "t:2026-12-07T10:30:15",
                            "n:1.5", "n:-0.001", "i:3", "i:-9223372036854775808", "b:true",
                            "b:false", "null", "x:texto", "d:", "Água"})
        save(dir, QStringLiteral("typed_argument"), n++, QByteArray(arg));

    n = 0;
    for (const char *filter :
         {"CDFILIAL = '0001'", "cdfilial='0001' AND CDTABEPREC = '001'", "NMTABEPREC = 'O''Brien'",
          "  A = ''  and B = ' x '", "A = 'x' or B = 'y'", "A = 'x"})
        save(dir, QStringLiteral("filter_expression"), n++, QByteArray(filter));

    n = 0;
    for (const char *mask : {">aaaa;0; \n0001", "99:99;0; \n1730", "!99:99;1; \n17:30",
                             "999;0; \n12", "!99/99/9999;1;_\n01/02/2026",
                             "99.99.9999;0;_\n01020003", "\\9LlAaCc<>;1;*\nxY9", ";;\n"})
        save(dir, QStringLiteral("edit_mask"), n++, QByteArray(mask));
    return 0;
}
