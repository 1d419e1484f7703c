// The report and its charts: the PDF read back by poppler's tools under the
// locale the process runs in, the file replaced only whole, and the charts of
// a group holding what its readings and limits say.
#include "CChartBuilder.h"
#include "CReport.h"
#include "CTRData.h"
#include "support/Files.h"
#include "support/Replies.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtTest>

#include <map>
#include <memory>
#include <sys/stat.h>

namespace
{
// Counted here from the definition, not through the judging code: a reading
// on a limit passes.
int Outside(const CTRData& data, const Limit& limit, int unit)
{
    int outside = 0;
    for (const CMeasurement& r : data.groups[limit.group - 1])
    {
        const double shown = r.divisor > 1 ? double(r.value) / r.divisor : r.value;
        if (r.unit == unit &&
            ((limit.low && shown < *limit.low) || (limit.high && shown > *limit.high)))
            ++outside;
    }
    return outside;
}

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    // A TR-620 reply of a few hundred readings, decoded as from the instrument.
    CTRData data;
    std::vector<Limit> limits;
    QTranslator russian;

private slots:
    void initTestCase()
    {
        const QByteArray reply = Reply(ReplyFrame::Family::TR620, 320);
        QVERIFY(data.Decode(reply.constData(), unsigned(reply.size())));
        // Group 1's times inside 50.0 to 2500.0 us; group 3's velocities at most 12000 m/s.
        limits = {Limit{1, Unit::Microseconds, 50.0, 2500.0, 1200.0},
                  Limit{3, Unit::MetresPerSecond, {}, 12000.0, {}}};
        QVERIFY(Outside(data, limits[0], Unit::Microseconds) > 0);
        QVERIFY(Outside(data, limits[1], Unit::MetresPerSecond) > 0);
        if (QLocale::system().language() == QLocale::Russian)
        {
            QVERIFY(russian.load(PARVESTA_CATALOGUE));
            QCoreApplication::installTranslator(&russian);
        }
    }

    void pdfReadsBack()
    {
        const QLocale locale = QLocale::system();
        CReport::Format format;
        format.decimalSeparator = locale.decimalPoint();
        TransferSource source;
        source.port = QStringLiteral("COM17");
        source.device = QStringLiteral("/dev/ttyUSB0");
        source.station = QStringLiteral("bench-7");
        source.downloaded = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
        source.pagesAnnounced = source.pagesReceived = 11;
        source.program = QStringLiteral("Parvesta");
        source.version = QStringLiteral("3.0");
        const QString note = QStringLiteral("Träger 5, Süd — партия 12");
        const CReport report(data, limits, source, note, format);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("report.pdf"));
        QVERIFY(report.Write(QFile::encodeName(path)));

        const QString info = Run(QStringLiteral("pdfinfo"), {path});
        QRegularExpressionMatch pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch(), qPrintable(info));
        const int pageCount = pages.captured(1).toInt();
        // The title block and statistics, a page of charts per three groups and
        // units, a page of readings per about two hundred.
        QVERIFY2(pageCount >= 5 && pageCount <= 12, qPrintable(info));
        // The same pages through a printer, as Print sends them.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("printed.pdf")));
        CReport::SetUpPage(&printer);
        QVERIFY(report.Paint(&printer));
        QVERIFY(Run(QStringLiteral("pdfinfo"), {printer.outputFileName()})
                    .contains(QStringLiteral("Pages:           %1\n").arg(pageCount)));
        const bool letter = locale.territory() == QLocale::UnitedStates;
        QVERIFY2(info.contains(letter ? QStringLiteral("(letter)") : QStringLiteral("(A4)")),
                 qPrintable(info));

        const QString text = Run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(!text.isEmpty());
        // The title block, in the process's language.
        const QString title = CReport::tr("Measurement report");
        if (locale.language() == QLocale::Russian)
            QVERIFY(title != QLatin1String("Measurement report"));
        const QDateTime local = source.downloaded.toLocalTime();
        // The day of the transfer with its whole year, then its time.
        const QRegularExpression when(QStringLiteral("\\b0?(%1|%2)\\D0?(%1|%2)\\D%3 %4")
                                          .arg(local.date().day())
                                          .arg(local.date().month())
                                          .arg(local.date().year())
                                          .arg(local.time().toString(QStringLiteral("HH:mm:ss"))));
        if (locale.language() != QLocale::C)
            QVERIFY2(text.contains(when), qPrintable(when.pattern()));
        for (const QString& expected :
             {title, QString::number(local.date().year()),
              local.time().toString(QStringLiteral("HH:mm:ss")), QStringLiteral("bench-7"),
              QStringLiteral("TR-620"), QStringLiteral("COM17 (/dev/ttyUSB0)"), note,
              CReport::tr("Page %1 of %2").arg(1).arg(pageCount),
              CReport::tr("Page %1 of %2").arg(pageCount).arg(pageCount)})
            QVERIFY2(text.contains(expected), qPrintable(expected));

        // Every group's statistics, with pass and fail where limits apply.
        auto number = [&](double figure, int decimals) {
            return QRegularExpression::escape(
                Statistics::Format(figure, decimals).replace('.', format.decimalSeparator));
        };
        for (const Statistics::Row& row : Statistics::Compute(data, limits))
        {
            QString pattern =
                QStringLiteral("\\n\\s*%1\\s+%2\\s+%3\\s+%4\\s+%5\\s")
                    .arg(row.group)
                    .arg(QRegularExpression::escape(format.units.Of(row.unit)))
                    .arg(row.count)
                    .arg(number(row.minimum, row.decimals), number(row.maximum, row.decimals));
            const Limit* limit = Limits::Find(limits, row.group, row.unit);
            if (limit)
            {
                const int fail = Outside(data, *limit, row.unit);
                pattern += QStringLiteral(".*\\s%1\\s+%2\\s").arg(row.count - fail).arg(fail);
            }
            QVERIFY2(QRegularExpression(pattern).match(text).hasMatch(), qPrintable(pattern));
        }

        // Every reading once, those outside their limits marked.
        std::map<QString, int> expected;
        int marked = 0;
        for (int g = 1; g <= data.groupCount; ++g)
            for (const CMeasurement& r : data.groups[g - 1])
            {
                QString mark;
                for (const Limit& limit : limits)
                {
                    const double shown = r.divisor > 1 ? double(r.value) / r.divisor : r.value;
                    if (limit.group == r.group && limit.unit == r.unit)
                        mark = limit.high && shown > *limit.high ? QStringLiteral("▲")
                               : limit.low && shown < *limit.low ? QStringLiteral("▼")
                                                                 : QString();
                }
                marked += !mark.isEmpty();
                ++expected[QStringLiteral("%1 %2 %3 %4 %5")
                               .arg(r.group)
                               .arg(r.cell)
                               .arg(FormatValue(r).replace('.', format.decimalSeparator),
                                    format.units.Of(r.unit), mark)
                               .trimmed()];
            }
        QVERIFY(marked > 0);
        std::map<QString, int> found;
        static const QRegularExpression reading(QStringLiteral(
            "(?<![\\d,.])(\\d+) +(\\d+) +(\\d+(?:[.,]\\d+)?) +(m/s|us)(?: +([▲▼]))?"));
        for (auto it = reading.globalMatch(text); it.hasNext();)
        {
            const QRegularExpressionMatch m = it.next();
            ++found[(m.captured(1) + ' ' + m.captured(2) + ' ' + m.captured(3) + ' ' +
                     m.captured(4) + ' ' + m.captured(5))
                        .trimmed()];
        }
        QCOMPARE(found, expected);
    }

    void replacedOnlyWhole()
    {
        // A folder that takes no new file: the report is refused, the earlier
        // file stays as it was.
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("report.pdf"));
        WriteFile(path, "an earlier report");
        QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0555) == 0);
        FileError error = FileError::None;
        const bool written =
            CReport(data, limits, {}, {}, {}).Write(QFile::encodeName(path), &error);
        ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
        QVERIFY(!written);
        QVERIFY(error != FileError::None);
        QCOMPARE(ReadFile(path), QByteArray("an earlier report"));
    }

    void chartsOfAGroup_data()
    {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("unit");
        QTest::addColumn<bool>("lowLine");
        QTest::addColumn<bool>("highLine");
        QTest::newRow("both limits") << 1 << int(Unit::Microseconds) << true << true;
        QTest::newRow("a high limit only") << 3 << int(Unit::MetresPerSecond) << false << true;
        QTest::newRow("no limits") << 2 << int(Unit::MetresPerSecond) << false << false;
    }

    void chartsOfAGroup()
    {
        QFETCH(int, group);
        QFETCH(int, unit);
        QFETCH(bool, lowLine);
        QFETCH(bool, highLine);
        Statistics::Row row;
        for (const Statistics::Row& r : Statistics::Compute(data, limits))
            if (r.group == group && r.unit == unit)
                row = r;
        QVERIFY(row.count > 1);
        const CChartBuilder builder(data, limits);
        std::unique_ptr<QChart> histogram(builder.Histogram(row, QStringLiteral("us")));
        std::unique_ptr<QChart> run(builder.RunChart(row, QStringLiteral("us")));
        auto series = [](QChart* chart, const char* name) -> QAbstractSeries* {
            for (QAbstractSeries* s : chart->series())
                if (s->objectName() == QLatin1String(name))
                    return s;
            return nullptr;
        };

        // Every reading in one bin of the histogram: each bin's top is a step of two points.
        auto* bars = qobject_cast<QAreaSeries*>(series(histogram.get(), "readings"));
        QVERIFY(bars);
        const QList<QPointF> outline = bars->upperSeries()->points();
        double binned = 0;
        for (int i = 1; i + 1 < outline.size(); i += 2)
            binned += outline[i].y();
        QCOMPARE(int(binned), row.count);
        QCOMPARE(int(outline.size()), 2 * CChartBuilder::Bins(row.count) + 2);
        auto* mean = qobject_cast<QLineSeries*>(series(histogram.get(), "mean"));
        QVERIFY(mean);
        QCOMPARE(mean->at(0).x(), row.mean);
        auto* plus = qobject_cast<QLineSeries*>(series(histogram.get(), "plus3s"));
        auto* minus = qobject_cast<QLineSeries*>(series(histogram.get(), "minus3s"));
        QVERIFY(plus && minus);
        QVERIFY(qFuzzyCompare(plus->at(0).x() - minus->at(0).x(), 6 * row.deviation));

        // The run chart: every reading in cell order, the limit lines there are,
        // and exactly the readings outside them marked.
        auto* readings = qobject_cast<QLineSeries*>(series(run.get(), "readings"));
        QVERIFY(readings);
        QCOMPARE(int(readings->count()), row.count);
        for (int i = 1; i < readings->count(); ++i)
            QVERIFY(readings->at(i - 1).x() < readings->at(i).x());
        QVERIFY(series(run.get(), "mean"));
        QCOMPARE(series(run.get(), "low") != nullptr, lowLine);
        QCOMPARE(series(run.get(), "high") != nullptr, highLine);
        auto* outside = qobject_cast<QScatterSeries*>(series(run.get(), "outside"));
        QCOMPARE(outside != nullptr, lowLine || highLine);
        if (outside)
        {
            const Limit* limit = Limits::Find(limits, group, unit);
            QVERIFY(limit);
            QCOMPARE(int(outside->count()), Outside(data, *limit, unit));
        }
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
