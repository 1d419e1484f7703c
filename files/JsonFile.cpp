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

QJsonValue Figure(const std::optional<double>& figure)
{
    return figure ? QJsonValue(*figure) : QJsonValue();
}

// A statistics row's judgement, where its group and unit have limits.
void AddJudgement(QJsonObject* figures, const Statistics::Row& row,
                  const std::vector<Limit>& limits)
{
    if (!row.judged)
        return;
    (*figures)["pass"] = row.pass;
    (*figures)["fail"] = row.fail;
    const Limit* limit = Limits::Find(limits, row.group, row.unit);
    if (limit && limit->low && limit->high)
    {
        (*figures)["cp"] = row.capable ? QJsonValue(row.cp) : QJsonValue();
        (*figures)["cpk"] = row.capable ? QJsonValue(row.cpk) : QJsonValue();
    }
}
} // namespace

QByteArray StatisticsDocument(const std::vector<Statistics::Row>& rows,
                              const std::vector<Limit>& limits)
{
    QJsonArray statistics;
    for (const Statistics::Row& row : rows)
    {
        QJsonObject figures{{"group", row.group},
                            {"unit", UnitName(row.unit)},
                            {"count", row.count},
                            {"min", row.minimum},
                            {"max", row.maximum},
                            {"mean", row.mean},
                            {"sd", row.count > 1 ? QJsonValue(row.deviation) : QJsonValue()}};
        AddJudgement(&figures, row, limits);
        statistics.append(figures);
    }
    return QJsonDocument(QJsonObject{{"statistics", statistics}}).toJson(QJsonDocument::Indented);
}

QByteArray Document(const CTRData& data, const Source& source, const std::vector<Limit>& limits)
{
    QJsonArray records;
    CMeasurement record;
    for (int group = 1; group <= data.groupCount; ++group)
    {
        for (int position = 1; data.GetRecord(group, position, &record); ++position)
        {
            QJsonObject fields{{"group", group},
                               {"cell", record.cell},
                               {"value", ExactValue(record)},
                               {"decimals", ValueDecimals(record)},
                               {"unit", UnitName(record.unit)}};
            const Limits::Verdict verdict = Limits::Judge(limits, record);
            if (verdict != Limits::Verdict::Unjudged)
                fields["pass"] = verdict == Limits::Verdict::Pass;
            records.append(fields);
        }
    }
    QJsonArray statistics;
    for (const Statistics::Row& row : Statistics::Compute(data, limits))
    {
        QJsonObject figures{{"group", row.group},     {"unit", UnitName(row.unit)},
                            {"count", row.count},     {"minimum", row.minimum},
                            {"maximum", row.maximum}, {"mean", row.mean}};
        if (row.count > 1)
            figures["deviation"] = row.deviation;
        AddJudgement(&figures, row, limits);
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
    if (!limits.empty())
    {
        QJsonArray given;
        for (const Limit& limit : limits)
            given.append(QJsonObject{{"group", limit.group},
                                     {"unit", limit.unit == Limit::AnyUnit
                                                  ? QJsonValue(QStringLiteral("any"))
                                                  : UnitName(limit.unit)},
                                     {"low", Figure(limit.low)},
                                     {"high", Figure(limit.high)},
                                     {"nominal", Figure(limit.nominal)}});
        document["limits"] = given;
    }
    // Kept for the readers written before "complete" existed.
    if (!source.complete)
        document["incomplete"] = QJsonObject{{"pagesReceived", source.pagesReceived},
                                             {"pagesAnnounced", source.pagesAnnounced}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool Write(const QByteArray& path, const CTRData& data, const Source& source,
           const std::vector<Limit>& limits, FileError* error, int* systemError)
{
    return CSafeFile::Save(path, Document(data, source, limits), error, systemError);
}
} // namespace JsonFile
