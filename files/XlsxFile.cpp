#include "XlsxFile.h"

#include "Statistics.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <locale.h>
#include <map>
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

// Out-of-limit readings: dark red on light red, as spreadsheets mark them.
constexpr lxw_color_t OutOfLimitText = 0x9C0006;
constexpr lxw_color_t OutOfLimitFill = 0xFFC7CE;

struct Book
{
    lxw_workbook* book = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* numbers[std::size(NumberFormats)] = {};
    lxw_format* outOfLimit[std::size(NumberFormats)] = {};
    lxw_format* capability = nullptr; // Cp and Cpk

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
            outOfLimit[d] = workbook_add_format(book);
            format_set_num_format(outOfLimit[d], NumberFormats[d]);
            format_set_font_color(outOfLimit[d], OutOfLimitText);
            format_set_bg_color(outOfLimit[d], OutOfLimitFill);
            format_set_bold(outOfLimit[d]);
        }
        capability = workbook_add_format(book);
        format_set_num_format(capability, "0.00");
    }

    lxw_format* Decimals(int decimals, bool marked = false) const
    {
        const std::size_t d =
            std::size_t(std::clamp(decimals, 0, int(std::size(NumberFormats)) - 1));
        return marked ? outOfLimit[d] : numbers[d];
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

// Columns of the statistics sheet: the figures, then those of the limits.
enum StatisticsColumn : lxw_col_t
{
    LowColumn = 7,
    HighColumn,
    NominalColumn,
    PassColumn,
    FailColumn,
    CpColumn,
    CpkColumn,
    // Hidden from here: what each chart draws, five columns per statistics
    // row. Its readings' cells and values in cell order (a group read in
    // several units has them interleaved on the readings sheet), then the
    // ends of the limit lines: first and last cell, low twice, high twice.
    ChartData = 16,
    ChartColumns = 5,
};

// The readings of one group in one unit, as the chart draws them.
using Points = std::vector<std::pair<double, double>>; // cell, value

void WriteNumber(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column,
                 const std::optional<double>& number)
{
    if (number)
        worksheet_write_number(sheet, row, column, *number, nullptr);
}

// A chart of one statistics row's readings in cell order, the limits as
// dashed lines across them, placed below the table.
void InsertChart(const Book& book, lxw_worksheet* statistics, const Format& format,
                 const Statistics::Row& s, const Limit* limit, const Points& points,
                 std::size_t index, lxw_row_t at)
{
    const QByteArray sheet = format.statisticsSheet.toUtf8();
    const lxw_col_t data = lxw_col_t(ChartData + ChartColumns * index);
    const lxw_row_t last = lxw_row_t(points.size());
    for (std::size_t p = 0; p < points.size(); ++p)
    {
        worksheet_write_number(statistics, lxw_row_t(p + 1), data, points[p].first, nullptr);
        worksheet_write_number(statistics, lxw_row_t(p + 1), data + 1, points[p].second, nullptr);
    }

    lxw_chart* chart = workbook_add_chart(book.book, LXW_CHART_SCATTER_STRAIGHT_WITH_MARKERS);
    const QString unit = format.units.Of(s.unit);
    const QByteArray title =
        (format.columns.value(0) + QLatin1Char(' ') + QString::number(s.group) +
         (unit.isEmpty() ? QString() : QStringLiteral(", ") + unit))
            .toUtf8();
    chart_title_set_name(chart, title.constData());
    const QByteArray cellTitle = format.columns.value(1).toUtf8();
    const QByteArray resultTitle = format.columns.value(2).toUtf8();
    chart_axis_set_name(chart->x_axis, cellTitle.constData());
    chart_axis_set_name(chart->y_axis, resultTitle.constData());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_series* readings = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(readings, sheet.constData(), 1, data, last, data);
    chart_series_set_values(readings, sheet.constData(), 1, data + 1, last, data + 1);
    chart_series_set_name(readings, resultTitle.constData());
    chart_series_set_marker_type(readings, LXW_CHART_MARKER_CIRCLE);
    chart_series_set_marker_size(readings, 4);

    const std::optional<double> bounds[] = {limit ? limit->low : std::nullopt,
                                            limit ? limit->high : std::nullopt};
    const lxw_col_t ends = data + 2;
    for (int b = 0; b < 2; ++b)
    {
        if (!bounds[b] || points.empty())
            continue;
        const lxw_col_t level = lxw_col_t(ends + 1 + b);
        worksheet_write_number(statistics, 1, ends, points.front().first, nullptr);
        worksheet_write_number(statistics, 2, ends, points.back().first, nullptr);
        worksheet_write_number(statistics, 1, level, *bounds[b], nullptr);
        worksheet_write_number(statistics, 2, level, *bounds[b], nullptr);
        lxw_chart_series* line = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(line, sheet.constData(), 1, ends, 2, ends);
        chart_series_set_values(line, sheet.constData(), 1, level, 2, level);
        const QByteArray name = format.limitColumns.value(b).toUtf8();
        chart_series_set_name(line, name.constData());
        chart_series_set_marker_type(line, LXW_CHART_MARKER_NONE);
        lxw_chart_line look{};
        look.color = OutOfLimitText;
        look.width = 1.5;
        look.dash_type = LXW_CHART_LINE_DASH_DASH;
        chart_series_set_line(line, &look);
    }
    worksheet_insert_chart(statistics, at, 0, chart);
}

void WriteSheets(const Book& book, const CTRData& data, const Format& format)
{
    const bool judging = !format.limits.empty();
    QStringList columns = format.columns;
    if (judging)
        columns << format.limitColumn;
    lxw_worksheet* sheet = book.Sheet(format.measurementsSheet, columns);
    std::map<std::pair<int, int>, Points> points; // by group and unit
    lxw_row_t row = 1;
    CMeasurement record;
    for (int group = 1; group <= data.groupCount; ++group)
    {
        for (int position = 1; data.GetRecord(group, position, &record); ++position, ++row)
        {
            const Limits::Verdict verdict = Limits::Judge(format.limits, record);
            const bool outside =
                verdict == Limits::Verdict::Low || verdict == Limits::Verdict::High;
            worksheet_write_number(sheet, row, 0, group, nullptr);
            worksheet_write_number(sheet, row, 1, record.cell, nullptr);
            worksheet_write_number(sheet, row, 2, ExactValue(record),
                                   book.Decimals(ValueDecimals(record), outside));
            WriteText(sheet, row, 3, format.units.Of(record.unit));
            if (outside)
                WriteText(sheet, row, 4,
                          verdict == Limits::Verdict::Low ? format.belowLow : format.aboveHigh);
            points[{group, record.unit}].push_back({record.cell, ExactValue(record)});
        }
    }

    columns = format.statisticsColumns;
    if (judging)
        columns += format.limitColumns;
    sheet = book.Sheet(format.statisticsSheet, columns);
    const std::vector<Statistics::Row> rows = Statistics::Compute(data, format.limits);
    lxw_row_col_options hidden{};
    hidden.hidden = 1;
    if (!rows.empty())
        worksheet_set_column_opt(sheet, ChartData,
                                 lxw_col_t(ChartData + ChartColumns * rows.size() - 1),
                                 LXW_DEF_COL_WIDTH, nullptr, &hidden);
    // The charts below the table, each about sixteen rows high.
    lxw_row_t chartAt = lxw_row_t(rows.size()) + 2;
    row = 1;
    for (const Statistics::Row& s : rows)
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
        // The limits as the user gave them, in General format: a limit of
        // 1.205 on readings of two decimals is still 1.205.
        const Limit* limit = Limits::Find(format.limits, s.group, s.unit);
        if (limit)
        {
            WriteNumber(sheet, row, LowColumn, limit->low);
            WriteNumber(sheet, row, HighColumn, limit->high);
            WriteNumber(sheet, row, NominalColumn, limit->nominal);
        }
        if (s.judged)
        {
            worksheet_write_number(sheet, row, PassColumn, s.pass, nullptr);
            worksheet_write_number(sheet, row, FailColumn, s.fail, nullptr);
        }
        if (s.capable)
        {
            worksheet_write_number(sheet, row, CpColumn, s.cp, book.capability);
            worksheet_write_number(sheet, row, CpkColumn, s.cpk, book.capability);
        }
        Points& drawn = points[{s.group, s.unit}];
        std::stable_sort(drawn.begin(), drawn.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        InsertChart(book, sheet, format, s, limit, drawn, row - 1, chartAt);
        chartAt += 16;
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
