#include "FuzzEntries.h"

#include "dataset/DataSetError.h"
#include "dataset/FilterExpression.h"
#include "net/TypedArgument.h"
#include "net/Wire.h"
#include "services/EditMask.h"
#include "sheet/XlsxReader.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>

#include <cstdio>
#include <cstdlib>

namespace prx::fuzz {

namespace {

// Frames are small here: the size check itself is what matters, and small
// buffers keep the executions fast.
constexpr quint32 FuzzFrameLimit = 1u << 20;

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

// What the reader accepted must travel again: a value the decoder lets in but
// the encoder cannot carry would turn into an error far from its cause.
void expectRequestRoundTrip(const wire::Request &request)
{
    const QByteArray frame = wire::encodeRequest(request);
    if (frame.isEmpty())
        return; // over the size limit once re-encoded: refused, not lost
    QByteArray buffer = frame;
    QByteArray body;
    if (wire::takeFrame(buffer, &body) != wire::FrameStatus::Ready)
        broken("re-encoded request is not one frame");
    wire::Request again;
    QString error;
    if (!wire::decodeRequest(body, &again, &error))
        broken(qPrintable(QStringLiteral("re-encoded request refused: ") + error));
    if (again.id != request.id || again.method != request.method ||
        again.args.size() != request.args.size())
        broken("re-encoded request differs");
}

} // namespace

int frameDecoder(const uint8_t *data, size_t size)
{
    QByteArray buffer = bytesOf(data, size);
    QByteArray body;
    for (int frames = 0; frames < 16; ++frames) {
        if (wire::takeFrame(buffer, &body, FuzzFrameLimit) != wire::FrameStatus::Ready)
            break;
        wire::Request request;
        QString error;
        bool idRead = false;
        if (wire::decodeRequest(body, &request, &error, &idRead))
            expectRequestRoundTrip(request);
        wire::Answer answer;
        wire::decodeAnswer(body, &answer, &error);
    }
    return 0;
}

int dataPacket(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    QCborStreamReader reader(bytes);
    DataPacket packet;
    QString error;
    if (!wire::readDataPacket(reader, &packet, &error))
        return 0;
    QByteArray again;
    {
        QCborStreamWriter writer(&again);
        wire::writeDataPacket(writer, packet);
    }
    QCborStreamReader second(again);
    DataPacket copy;
    if (!wire::readDataPacket(second, &copy, &error))
        broken(qPrintable(QStringLiteral("re-encoded packet refused: ") + error));
    if (copy.rowCount() != packet.rowCount() || copy.fields().size() != packet.fields().size())
        broken("re-encoded packet differs");
    return 0;
}

int deltaPacket(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    QCborStreamReader reader(bytes);
    DeltaPacket delta;
    QString error;
    if (!wire::readDeltaPacket(reader, &delta, &error))
        return 0;
    QByteArray again;
    {
        QCborStreamWriter writer(&again);
        wire::writeDeltaPacket(writer, delta);
    }
    QCborStreamReader second(again);
    DeltaPacket copy;
    if (!wire::readDeltaPacket(second, &copy, &error))
        broken(qPrintable(QStringLiteral("re-encoded delta refused: ") + error));
    if (copy.changes.size() != delta.changes.size() || copy.fields.size() != delta.fields.size())
        broken("re-encoded delta differs");
    return 0;
}

int typedArgument(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QVariant value;
    QString error;
    if (!parseTypedArgument(text, &value, &error))
        return 0;
    // prx-cli sends what it parsed; an accepted argument the wire cannot
    // carry would fail only later, as a confusing call error.
    if (!wire::isWritable(value, &error))
        broken(qPrintable(QStringLiteral("accepted argument cannot travel: ") + error));
    return 0;
}

int filterExpression(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    FilterExpression parsed;
    try {
        parsed = FilterExpression::parse(text);
    } catch (const DataSetError &) {
        return 0;
    }
    // Written back with quote(), the same terms must come out: this is what
    // keeps a value holding quotes from widening a filter.
    QStringList terms;
    for (const FilterExpression::Term &t : parsed.terms())
        terms << t.field + QStringLiteral(" = ") + FilterExpression::quote(t.value);
    FilterExpression again;
    try {
        again = FilterExpression::parse(terms.join(QStringLiteral(" and ")));
    } catch (const DataSetError &) {
        broken("rebuilt filter refused");
    }
    if (again.terms().size() != parsed.terms().size())
        broken("rebuilt filter has other terms");
    for (qsizetype i = 0; i < again.terms().size(); ++i) {
        if (again.terms()[i].value != parsed.terms()[i].value ||
            again.terms()[i].field.compare(parsed.terms()[i].field, Qt::CaseInsensitive) != 0)
            broken("rebuilt filter has other terms");
    }
    return 0;
}

int editMask(const uint8_t *data, size_t size)
{
    // The mask, a line break, then a text as the user would type it.
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = all.indexOf(QLatin1Char('\n'));
    const QString maskText = cut < 0 ? all : all.left(cut);
    const QString typed = cut < 0 ? QString() : all.mid(cut + 1);
    const EditMask mask(maskText);
    (void)mask.qtInputMask();
    (void)mask.inputLength();
    const QString stored = mask.storedFromEdit(typed);
    (void)mask.editFromStored(stored);
    (void)mask.format(stored);
    (void)mask.format(typed);
    return 0;
}

// A workbook is a zip the user picked: every sheet of it is read within
// small limits, and whatever is read must also come out as CSV text that
// reads back as the same rows.
int xlsxWorkbook(const uint8_t *data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    sheet::XlsxLimits limits;
    limits.maxUnpackedBytes = 4 << 20;
    limits.maxCells = 100000;
    QString error;
    const QStringList names = sheet::xlsxSheetNames(bytes, &error);
    for (const QString &name : names.isEmpty() ? QStringList{QString()} : names.mid(0, 4)) {
        sheet::SheetRows rows;
        QList<int> lines;
        if (!sheet::readXlsxRows(bytes, name, &rows, &lines, &error, limits)) {
            if (error.isEmpty())
                broken("workbook refused without a reason");
            continue;
        }
        QString csv;
        if (!sheet::readXlsxAsCsv(bytes, name, &csv, &error, limits))
            broken("rows read once but not twice");
        sheet::SheetRows again;
        QList<int> againLines;
        if (!sheet::readCsv(csv, &again, &error, &againLines) || againLines != lines ||
            again.size() != rows.size())
            broken("workbook rows lost on the way to CSV text");
    }
    return 0;
}

} // namespace prx::fuzz
