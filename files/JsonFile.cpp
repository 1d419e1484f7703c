#include "JsonFile.h"

#include "Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <iterator>

namespace JsonFile
{
namespace
{
QJsonValue UnitName(int unit)
{
    const QString name = UnitTexts().Of(unit);
    return name.isEmpty() ? QJsonValue() : name; // a unit the instrument did not name: null
}
} // namespace

QByteArray Document(const CTRData& data, const Source& source)
{
    QJsonArray records;
    CMeasurement record;
    for (int group = 1; group <= data.groupCount; ++group)
    {
        for (int position = 1; data.GetRecord(group, position, &record); ++position)
            records.append(QJsonObject{{"group", group},
                                       {"cell", record.cell},
                                       {"value", ExactValue(record)},
                                       {"decimals", ValueDecimals(record)},
                                       {"unit", UnitName(record.unit)}});
    }
    QJsonArray statistics;
    for (const Statistics::Row& row : Statistics::Compute(data))
    {
        QJsonObject figures{{"group", row.group},     {"unit", UnitName(row.unit)},
                            {"count", row.count},     {"minimum", row.minimum},
                            {"maximum", row.maximum}, {"mean", row.mean}};
        if (row.count > 1)
            figures["deviation"] = row.deviation;
        statistics.append(figures);
    }
    QJsonObject document{
        {"schema", SchemaVersion},
        {"program", QJsonObject{{"name", source.program}, {"version", source.version}}},
        {"downloaded", source.downloaded.isValid()
                           ? QJsonValue(source.downloaded.toUTC().toString(Qt::ISODate))
                           : QJsonValue()},
        {"family", data.family.isEmpty() ? QJsonValue() : data.family},
        {"port", source.port},
        {"device", source.device},
        {"station", source.station},
        {"transfer", source.transfer.isEmpty() ? QJsonValue() : source.transfer},
        {"complete", source.complete},
        {"pagesAnnounced", source.pagesAnnounced},
        {"pagesReceived", source.pagesReceived},
        {"records", records},
        {"statistics", statistics}};
    // Kept for the readers written before "complete" existed.
    if (!source.complete)
        document["incomplete"] = QJsonObject{{"pagesReceived", source.pagesReceived},
                                             {"pagesAnnounced", source.pagesAnnounced}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool Write(const QByteArray& path, const CTRData& data, const Source& source, FileError* error,
           int* systemError)
{
    return CSafeFile::Save(path, Document(data, source), error, systemError);
}
} // namespace JsonFile
