#include "XlsxFile.h"

#include "Statistics.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <locale.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>
#define ZLIB_CONST
#include <zlib.h>

namespace XlsxFile
{
namespace
{
// Number formats by decimals: readings keep the decimals the instrument gave.
constexpr const char* NumberFormats[] = {"0", "0.0", "0.00", "0.000"};

// The C library's numbers in the C form on this thread while it lives: the
// workbook's XML wants 2828.1 and width="9.7109375" on a German or Russian
// desktop too, where printf would write a comma. Other threads and the
// process's own locale stay as they are.
class CNumericLocale
{
public:
    CNumericLocale()
    {
        const locale_t base = ::duplocale(::uselocale(locale_t(0)));
        if (base && !(numeric = ::newlocale(LC_NUMERIC_MASK, "C", base)))
            ::freelocale(base);
        if (numeric)
            previous = ::uselocale(numeric);
    }
    ~CNumericLocale()
    {
        if (numeric)
        {
            ::uselocale(previous);
            ::freelocale(numeric);
        }
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

    bool InForce() const { return numeric != locale_t(0); }

private:
    locale_t numeric = locale_t(0);
    locale_t previous = locale_t(0);
};

struct Book
{
    lxw_workbook* book = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* numbers[std::size(NumberFormats)] = {};

    Book(const QByteArray& path, lxw_workbook_options* options)
        : book(workbook_new_opt(path.constData(), options))
    {
        if (!book)
            return;
        bold = workbook_add_format(book);
        format_set_bold(bold);
        for (std::size_t d = 0; d < std::size(NumberFormats); ++d)
        {
            numbers[d] = workbook_add_format(book);
            format_set_num_format(numbers[d], NumberFormats[d]);
        }
    }

    lxw_format* Decimals(int decimals) const
    {
        return numbers[std::clamp(decimals, 0, int(std::size(NumberFormats)) - 1)];
    }

    lxw_worksheet* Sheet(const QString& name, const QStringList& titles) const
    {
        lxw_worksheet* sheet = workbook_add_worksheet(book, name.toUtf8().constData());
        for (int c = 0; c < titles.size(); ++c)
        {
            worksheet_write_string(sheet, 0, lxw_col_t(c), titles[c].toUtf8().constData(), bold);
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), c == 0 ? 9 : 13, nullptr);
        }
        worksheet_freeze_panes(sheet, 1, 0);
        return sheet;
    }
};

void WriteText(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& text)
{
    if (!text.isEmpty())
        worksheet_write_string(sheet, row, column, text.toUtf8().constData(), nullptr);
}

void WriteSheets(const Book& book, const CTRData& data, const Format& format)
{
    lxw_worksheet* sheet = book.Sheet(format.measurementsSheet, format.columns);
    lxw_row_t row = 1;
    CMeasurement record;
    for (int group = 1; group <= data.groupCount; ++group)
    {
        for (int position = 1; data.GetRecord(group, position, &record); ++position, ++row)
        {
            worksheet_write_number(sheet, row, 0, group, nullptr);
            worksheet_write_number(sheet, row, 1, record.cell, nullptr);
            worksheet_write_number(sheet, row, 2, ExactValue(record),
                                   book.Decimals(ValueDecimals(record)));
            WriteText(sheet, row, 3, format.units.Of(record.unit));
        }
    }

    sheet = book.Sheet(format.statisticsSheet, format.statisticsColumns);
    row = 1;
    for (const Statistics::Row& s : Statistics::Compute(data))
    {
        lxw_format* decimals = book.Decimals(s.decimals);
        worksheet_write_number(sheet, row, 0, s.group, nullptr);
        WriteText(sheet, row, 1, format.units.Of(s.unit));
        worksheet_write_number(sheet, row, 2, s.count, nullptr);
        worksheet_write_number(sheet, row, 3, s.minimum, decimals);
        worksheet_write_number(sheet, row, 4, s.maximum, decimals);
        worksheet_write_number(sheet, row, 5, s.mean, decimals);
        if (s.count > 1) // one reading has no spread to speak of
            worksheet_write_number(sheet, row, 6, s.deviation, decimals);
        ++row;
    }
}

// The transfer the records came from: a sheet of title and value lines,
// and the document's properties, which file browsers and Excel show.
void DescribeTransfer(const Book& book, const CTRData& data, const Format& format,
                      const TransferSource& source)
{
    const QString when =
        source.downloaded.isValid() ? source.downloaded.toUTC().toString(Qt::ISODate) : QString();
    const QString pages = source.complete ? format.complete : format.incomplete;
    const QStringList values = {when,
                                source.station,
                                data.family,
                                source.port,
                                source.device,
                                pages,
                                QString::number(source.pagesReceived),
                                QString::number(source.pagesAnnounced),
                                (source.program + QLatin1Char(' ') + source.version).trimmed(),
                                source.transfer};
    lxw_worksheet* sheet =
        format.downloadSheet.isEmpty()
            ? nullptr
            : workbook_add_worksheet(book.book, format.downloadSheet.toUtf8().constData());
    if (!sheet)
        return;
    worksheet_set_column(sheet, 0, 0, 20, nullptr);
    worksheet_set_column(sheet, 1, 1, 40, nullptr);
    for (int line = 0; line < format.downloadTitles.size() && line < values.size(); ++line)
    {
        worksheet_write_string(sheet, lxw_row_t(line), 0,
                               format.downloadTitles[line].toUtf8().constData(), book.bold);
        WriteText(sheet, lxw_row_t(line), 1, values[line]);
    }

    const QByteArray title = (data.family + QLatin1Char(' ') + when).trimmed().toUtf8();
    const QByteArray author = source.station.toUtf8();
    const QByteArray status = pages.toUtf8();
    const QByteArray comments = QStringLiteral("%1 %2, %3/%4")
                                    .arg(source.port, source.device)
                                    .arg(source.pagesReceived)
                                    .arg(source.pagesAnnounced)
                                    .toUtf8();
    const QByteArray keywords = source.transfer.toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    properties.author = const_cast<char*>(author.constData());
    properties.status = const_cast<char*>(status.constData());
    properties.comments = const_cast<char*>(comments.constData());
    properties.keywords = const_cast<char*>(keywords.constData());
    properties.created =
        source.downloaded.isValid() ? time_t(source.downloaded.toSecsSinceEpoch()) : 0;
    workbook_set_properties(book.book, &properties);
}

qint64 Little(const QByteArray& bytes, qint64 at, int size)
{
    if (at < 0 || at + size > bytes.size())
        return -1;
    qint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

// A part's bytes as they were before they were packed, or false.
bool Unpack(const char* packed, qint64 packedSize, qint64 method, QByteArray* part)
{
    if (method == 0) // stored
    {
        if (packedSize != part->size())
            return false;
        std::memcpy(part->data(), packed, std::size_t(packedSize));
        return true;
    }
    z_stream stream{};
    if (method != Z_DEFLATED || inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<const Bytef*>(packed);
    stream.avail_in = uInt(packedSize);
    stream.next_out = reinterpret_cast<Bytef*>(part->data());
    stream.avail_out = uInt(part->size());
    const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return whole;
}

// True when every part of the workbook is whole. The library writes each
// part to a scratch file first and does not check those writes: a disk that
// fills up part way (or a quota, a file-size limit) leaves a part cut short
// in a workbook the library calls done.
bool WholeParts(const QByteArray& zip)
{
    // The library writes no archive comment: the directory's end closes the file.
    const qint64 end = zip.size() - 22;
    if (Little(zip, end, 4) != 0x06054b50)
        return false;
    const qint64 parts = Little(zip, end + 10, 2);
    qint64 entry = Little(zip, end + 16, 4);
    for (qint64 i = 0; i < parts; ++i)
    {
        if (Little(zip, entry, 4) != 0x02014b50)
            return false;
        const qint64 method = Little(zip, entry + 10, 2);
        const qint64 checksum = Little(zip, entry + 16, 4);
        const qint64 packedSize = Little(zip, entry + 20, 4);
        const qint64 size = Little(zip, entry + 24, 4);
        const qint64 nameLength = Little(zip, entry + 28, 2);
        const QByteArray name = zip.mid(entry + 46, nameLength);
        const qint64 local = Little(zip, entry + 42, 4);
        entry += 46 + nameLength + Little(zip, entry + 30, 2) + Little(zip, entry + 32, 2);

        const qint64 start = local + 30 + Little(zip, local + 26, 2) + Little(zip, local + 28, 2);
        if (Little(zip, local, 4) != 0x04034b50 || size < 0 || packedSize < 0 ||
            start + packedSize > end)
            return false;
        QByteArray part(size, Qt::Uninitialized);
        if (!Unpack(zip.constData() + start, packedSize, method, &part) ||
            qint64(crc32(0, reinterpret_cast<const Bytef*>(part.constData()), uInt(size))) !=
                checksum)
            return false;
        if (name.endsWith(".xml") || name.endsWith(".rels"))
        {
            QXmlStreamReader xml(part);
            while (!xml.atEnd())
                xml.readNext();
            if (xml.hasError())
                return false;
        }
    }
    return parts > 0;
}

// The workbook's bytes into *bytes. The library writes only to a file it
// opens by name: it gets one in memory, which nothing outlives, and puts its
// scratch files in scratchFolder (none: the system's temporary folder).
bool Make(const CTRData& data, const Format& format, const TransferSource& source,
          QByteArray scratchFolder, QByteArray* bytes, FileError* error, int* systemError)
{
    const auto refuse = [&](FileError why, int errorNumber) {
        *error = why;
        *systemError = errorNumber;
        return false;
    };
    const int memory = ::memfd_create("parvesta-workbook", MFD_CLOEXEC);
    if (memory < 0)
        return refuse(FileError::Other, errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{memory};

    lxw_error closed;
    int why;
    {
        CNumericLocale numbers;
        if (!numbers.InForce())
            return refuse(FileError::Other, errno ? errno : ENOMEM);
        lxw_workbook_options options{};
        options.tmpdir = scratchFolder.isEmpty() ? nullptr : scratchFolder.data();
        errno = 0;
        Book book("/proc/self/fd/" + QByteArray::number(memory), &options);
        if (!book.book)
            return refuse(FileError::Other, errno ? errno : ENOMEM);
        WriteSheets(book, data, format);
        DescribeTransfer(book, data, format, source);
        errno = 0;
        closed = workbook_close(book.book);
        why = errno; // before anything else can change it
    }
    if (closed != LXW_NO_ERROR)
        return refuse(why ? FileErrorOf(why) : FileError::Other, why ? why : EIO);

    struct stat info;
    if (::fstat(memory, &info) != 0)
        return refuse(FileError::Other, errno);
    bytes->resize(qsizetype(info.st_size));
    for (qint64 done = 0; done < bytes->size();)
    {
        const ssize_t n =
            ::pread(memory, bytes->data() + done, std::size_t(bytes->size() - done), off_t(done));
        if (n <= 0)
            return refuse(FileError::Other, n < 0 ? errno : EIO);
        done += n;
    }
    // Only a scratch file the disk refused to hold whole cuts a part short:
    // no room, the quota or the file-size limit.
    if (!WholeParts(*bytes))
        return refuse(FileError::DiskFull, ENOSPC);
    return true;
}
} // namespace

bool Write(const QByteArray& path, const CTRData& data, const Format& format,
           const TransferSource& source, FileError* error, int* systemError)
{
    // The temporary file beside the target first: where that cannot be, the
    // workbook is not made at all.
    CSafeFile out(path);
    FILE* file = out.Open();
    bool ok = file != nullptr;
    if (ok)
    {
        QByteArray bytes;
        FileError why = FileError::None;
        int number = 0;
        if (!Make(data, format, source, out.Folder(), &bytes, &why, &number))
            ok = out.Abandon(why, number);
        else if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file) !=
                 std::size_t(bytes.size()))
            ok = out.Abandon(errno);
        else
            ok = out.Commit();
    }
    return out.Report(ok, error, systemError);
}
} // namespace XlsxFile
