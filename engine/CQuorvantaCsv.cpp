// Saving the records as CSV: the engine's side of the file.
#include "CQuorvanta.h"

#include "CsvFile.h"
#include "FilePaths.h"

CsvFile::Format CQuorvanta::CsvFormat() const
{
    CsvFile::Format format;
    format.header = csvHeader;
    format.decimalSeparator = decimalSeparator;
    format.units[Unit::MetresPerSecond] = unitVelocity;
    format.units[Unit::Microseconds] = unitTime;
    format.units[Unit::Millimetres] = unitMm;
    format.units[Unit::Inches] = unitInches;
    return format;
}

QString CQuorvanta::SuggestFileName() const
{
    return UniqueFileName(dataPath, QStringLiteral("results"), QStringLiteral(".csv"));
}

bool CQuorvanta::WriteCsv(const char* fileName)
{
    if (!fileName || !CsvFile::Write(fileName, data, CsvFormat()))
        return false;
    dataPath = DirectoryOf(fileName);
    unsavedData = false;
    return true;
}

bool CQuorvanta::WriteCsvRow(FILE* file, CMeasurement record)
{
    return CsvFile::WriteRow(file, record, CsvFormat());
}
