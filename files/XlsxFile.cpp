#include "XlsxFile.h"

#include "Statistics.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <xlsxwriter.h>

namespace XlsxFile
{
namespace
{
// Number formats by decimals: readings keep the decimals the instrument gave.
constexpr const char* NumberFormats[] = {"0", "0.0", "0.00", "0.000"};

struct Book
{
    lxw_workbook* book = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* numbers[std::size(NumberFormats)] = {};

    explicit Book(const QByteArray& path) : book(workbook_new(path.constData()))
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
} // namespace

QString Format::UnitText(int unit) const
{
    return unit >= 0 && unit < int(std::size(units)) ? units[unit] : QString();
}

bool Write(const QByteArray& path, const CTRData& data, const Format& format, FileError* error,
           int* systemError)
{
    // The library writes only to a file of its own naming: a private one in
    // the temporary folder, whose bytes then replace the target safely.
    QTemporaryFile made(QDir::tempPath() + QStringLiteral("/parvesta-XXXXXX.xlsx"));
    if (!made.open())
    {
        if (error)
            *error = FileError::DiskFull;
        if (systemError)
            *systemError = ENOSPC;
        return false;
    }
    made.close();

    errno = 0;
    Book book(QFile::encodeName(made.fileName()));
    if (book.book)
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
                WriteText(sheet, row, 3, format.UnitText(record.unit));
            }
        }

        sheet = book.Sheet(format.statisticsSheet, format.statisticsColumns);
        row = 1;
        for (const Statistics::Row& s : Statistics::Compute(data))
        {
            lxw_format* decimals = book.Decimals(s.decimals);
            worksheet_write_number(sheet, row, 0, s.group, nullptr);
            WriteText(sheet, row, 1, format.UnitText(s.unit));
            worksheet_write_number(sheet, row, 2, s.count, nullptr);
            worksheet_write_number(sheet, row, 3, s.minimum, decimals);
            worksheet_write_number(sheet, row, 4, s.maximum, decimals);
            worksheet_write_number(sheet, row, 5, s.mean, decimals);
            if (s.count > 1) // one reading has no spread to speak of
                worksheet_write_number(sheet, row, 6, s.deviation, decimals);
            ++row;
        }
    }
    const int why = errno;
    if (!book.book || workbook_close(book.book) != LXW_NO_ERROR)
    {
        if (error)
            *error = why == ENOSPC || why == EDQUOT || why == EFBIG ? FileError::DiskFull
                                                                    : FileError::Other;
        if (systemError)
            *systemError = why ? why : EIO;
        return false;
    }

    QFile workbook(made.fileName());
    if (!workbook.open(QIODevice::ReadOnly))
    {
        if (error)
            *error = FileError::Other;
        if (systemError)
            *systemError = EIO;
        return false;
    }
    return CSafeFile::Save(path, workbook.readAll(), error, systemError);
}
} // namespace XlsxFile
