// The XLSX side of Sheet.h: the parts of XlsxParts.h zipped with libzip.
#include "sheet/Sheet.h"
#include "sheet/SheetFile.h"
#include "sheet/XlsxParts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <zip.h>

#include <memory>
#include <vector>

namespace prx::sheet {

namespace {

constexpr zip_uint32_t kCompressionLevel = 6;

// The archive is built in memory and reaches the disk through
// saveSheetFile(), like the CSV: the old file is replaced only when the whole
// workbook is there. The worksheets, the bulk of it, wait in temporary files
// until libzip compresses them, so a 100,000-row period never sits in memory
// as XML.
class Package
{
public:
    Package()
    {
        zip_error_t error;
        zip_error_init(&error);
        m_buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
        if (m_buffer) {
            m_archive = zip_open_from_source(m_buffer, ZIP_TRUNCATE, &error);
            if (m_archive) {
                zip_source_keep(m_buffer); // read back after zip_close()
            } else {
                zip_source_free(m_buffer);
                m_buffer = nullptr;
            }
        }
        zip_error_fini(&error);
    }
    ~Package()
    {
        if (m_archive)
            zip_discard(m_archive);
        if (m_buffer)
            zip_source_free(m_buffer);
    }
    Package(const Package &) = delete;
    Package &operator=(const Package &) = delete;

    bool isOpen() const { return m_archive; }

    // The bytes are kept here until the archive is closed.
    bool add(const char *name, QByteArray bytes)
    {
        m_parts.push_back(std::move(bytes));
        const QByteArray &kept = m_parts.back();
        return added(name, zip_source_buffer(m_archive, kept.constData(), kept.size(), 0));
    }
    bool addFile(const QString &name, const QString &file)
    {
        return added(name.toUtf8().constData(),
                     zip_source_file(m_archive, QFile::encodeName(file).constData(), 0, 0));
    }

    // The finished archive's bytes; empty when compressing failed.
    QByteArray close()
    {
        const int closed = zip_close(m_archive);
        if (closed < 0)
            return {};
        m_archive = nullptr;
        QByteArray bytes;
        if (zip_source_open(m_buffer) < 0)
            return {};
        if (zip_source_seek(m_buffer, 0, SEEK_END) == 0) {
            const zip_int64_t size = zip_source_tell(m_buffer);
            if (size > 0 && zip_source_seek(m_buffer, 0, SEEK_SET) == 0) {
                bytes.resize(size);
                if (zip_source_read(m_buffer, bytes.data(), zip_uint64_t(size)) != size)
                    bytes.clear();
            }
        }
        zip_source_close(m_buffer);
        return bytes;
    }

private:
    bool added(const char *name, zip_source_t *source)
    {
        if (!source)
            return false;
        const zip_int64_t index = zip_file_add(m_archive, name, source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        // libzip deflates at the highest level unless told: several times
        // slower on a large sheet for a file a few per cent smaller.
        return zip_set_file_compression(m_archive, zip_uint64_t(index), ZIP_CM_DEFLATE,
                                        kCompressionLevel) == 0;
    }

    zip_source_t *m_buffer = nullptr; // owned (one reference)
    zip_t *m_archive = nullptr;       // owned
    std::vector<QByteArray> m_parts;  // a moved QByteArray keeps its data in place
};

} // namespace

bool writeXlsx(const QString &path, const QList<Sheet> &sheets, QString *error)
{
    if (sheets.isEmpty()) {
        *error = QStringLiteral("Não há planilha para gravar em %1.").arg(path);
        return false;
    }
    const QStringList names = xlsx::sheetNames(sheets);
    std::vector<std::unique_ptr<QTemporaryFile>> worksheets;
    for (qsizetype s = 0; s < sheets.size(); ++s) {
        auto file = std::make_unique<QTemporaryFile>(
            QDir::temp().filePath(QStringLiteral("prx-planilha-XXXXXX.xml")));
        if (!file->open() || !xlsx::writeWorksheet(file.get(), sheets[s], s == 0) ||
            !file->flush()) {
            *error = QStringLiteral("Não foi possível gravar o arquivo %1: a pasta temporária %2 "
                                    "não aceitou a planilha (disco cheio?).")
                         .arg(path, QDir::tempPath());
            return false;
        }
        worksheets.push_back(std::move(file));
    }

    Package package;
    bool ok = package.isOpen() &&
              package.add("[Content_Types].xml", xlsx::contentTypes(int(sheets.size()))) &&
              package.add("_rels/.rels", xlsx::packageRelationships()) &&
              package.add("xl/workbook.xml", xlsx::workbook(names)) &&
              package.add("xl/_rels/workbook.xml.rels",
                          xlsx::workbookRelationships(int(sheets.size()))) &&
              package.add("xl/styles.xml", xlsx::styles());
    for (size_t s = 0; ok && s < worksheets.size(); ++s)
        ok = package.addFile(xlsx::worksheetPath(int(s)), worksheets[s]->fileName());
    const QByteArray bytes = ok ? package.close() : QByteArray();
    if (bytes.isEmpty()) {
        *error = QStringLiteral("Não foi possível gravar o arquivo %1: falha ao compactar a "
                                "planilha.")
                     .arg(path);
        return false;
    }
    return saveSheetFile(path, bytes, error);
}

} // namespace prx::sheet
