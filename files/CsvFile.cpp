#include "CsvFile.h"

#include "CSafeFile.h"

#include <iterator>

namespace CsvFile
{

bool WriteRow(FILE* file, const CMeasurement& record, const Format& format)
{
    QString value = FormatValue(record);
    value.replace(QLatin1Char('.'), format.decimalSeparator);
    return std::fprintf(file, "%i;%i;%s;\"%s\"\r\n", record.group, record.cell,
                        value.toLocal8Bit().constData(),
                        format.units.Of(record.unit).toLocal8Bit().constData()) >= 0;
}

bool Write(FILE* file, const CTRData& data, const Format& format)
{
    bool ok = std::fprintf(file, "%s\r\n", format.header.toLocal8Bit().constData()) >= 0;
    for (int group = 1; ok && group <= data.groupCount; ++group)
    {
        for (int position = 1; ok && position <= data.RecordCount(group); ++position)
        {
            CMeasurement record;
            if (data.GetRecord(group, position, &record))
                ok = WriteRow(file, record, format);
        }
    }
    return ok;
}

bool Write(const QByteArray& path, const CTRData& data, const Format& format, FileError* error,
           int* systemError)
{
    CSafeFile out(path);
    FILE* file = out.Open();
    if (!file)
        return out.Report(false, error, systemError);

    // Only a file that reached the disk whole counts as saved.
    const bool ok = Write(file, data, format) ? out.Commit() : out.Abandon(errno);
    return out.Report(ok, error, systemError);
}
} // namespace CsvFile
