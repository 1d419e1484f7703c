// Export of the records to a semicolon-separated file in the local encoding.
#include "engine/CQuorvanta.h"
#include "files/CSafeFile.h"

#include <QFileInfo>

QString UniqueFileName(QString folder, QString stem, QString extension)
{
    for (qint64 n = 1;; ++n)
    {
        const QString name = stem + QString::number(n) + extension;
        if (!QFileInfo::exists(folder + name))
            return name;
    }
}

QString CQuorvanta::SuggestFileName() const
{
    return UniqueFileName(dataPath, QStringLiteral("results"), QStringLiteral(".csv"));
}

bool CQuorvanta::WriteCsv(const char* fileName)
{
    if (!fileName || !*fileName)
        return false;
    CSafeFile out(fileName);
    FILE* file = out.Open();
    if (!file)
        return false;

    bool ok = std::fprintf(file, "%s\r\n", csvHeader.toLocal8Bit().constData()) >= 0;
    for (int group = 1; ok && group <= data.groupCount; ++group)
    {
        for (int position = 1; ok && position <= data.RecordCount(group); ++position)
        {
            CMeasurement record;
            if (data.GetRecord(group, position, &record))
                ok = WriteCsvRow(file, record);
        }
    }
    // Only a file that reached the disk whole counts as saved.
    if (!ok || !out.Commit())
        return false;

    dataPath = DirectoryOf(fileName);
    unsavedData = false;
    return true;
}

bool CQuorvanta::WriteCsvRow(FILE* file, CMeasurement record)
{
    QString value = FormatValue(record);
    value.replace(QLatin1Char('.'), decimalSeparator);
    return std::fprintf(file, "%i;%i;%s;\"%s\"\r\n", record.group, record.cell,
                        value.toLocal8Bit().constData(),
                        UnitText(record.unit).toLocal8Bit().constData()) >= 0;
}
