// Measurement records: the group container and the value text.
#include "CTRData.h"
#include "Statistics.h"
#include "support/Records.h"

#include <QtTest>

// A row of figures, computed by hand: group, unit, count, minimum, maximum,
// mean, deviation, decimals.
using Figures = QList<double>;
using Records = QList<CMeasurement>;
Q_DECLARE_METATYPE(Records)

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void formatValue_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QString>("text");
        QTest::newRow("divisor 0") << 1234 << 0 << "1234";
        QTest::newRow("divisor 1") << 1234 << 1 << "1234";
        QTest::newRow("divisor 10") << 1234 << 10 << "123.4";
        QTest::newRow("divisor 100") << 5 << 100 << "0.05";
        QTest::newRow("divisor 1000, trailing zero") << 20 << 1000 << "0.020";
        QTest::newRow("other divisor, two decimals") << 1234 << 25 << "49.36";
    }
    void formatValue()
    {
        QFETCH(int, value);
        QFETCH(int, divisor);
        QTEST(FormatValue(Record(1, 1, value, divisor)), "text");
    }

    void statistics_data()
    {
        QTest::addColumn<Records>("records");
        QTest::addColumn<QList<Figures>>("rows");
        QTest::newRow("equal readings")
            << Records{Record(1, 1, 50, 10, 2), Record(1, 2, 50, 10, 2), Record(1, 3, 50, 10, 2)}
            << QList<Figures>{{1, 2, 3, 5, 5, 5, 0, 1}};
        // Millimetres and inches of one group are never mixed in one figure.
        QTest::newRow("two units in a group")
            << Records{Record(2, 1, 100, 10, 2), Record(2, 2, 1000, 1000, 3),
                       Record(2, 3, 200, 10, 2)}
            << QList<Figures>{{2, 2, 2, 10, 20, 15, 7.0710678118654755, 1},
                              {2, 3, 1, 1, 1, 1, 0, 3}};
        QTest::newRow("negative and large, divisors 0 and 1")
            << Records{Record(3, 1, -5, 0, 0), Record(3, 2, 2147483647, 1, 0)}
            << QList<Figures>{{3, 0, 2, -5, 2147483647, 1073741821, 1518500252.816452, 0}};
        QTest::newRow("divisors 10, 100, 1000 in one unit")
            << Records{Record(4, 1, 1234, 10, 2), Record(4, 2, 1234, 100, 2),
                       Record(4, 3, 1234, 1000, 2)}
            << QList<Figures>{{4, 2, 3, 1.234, 123.4, 45.658, 67.55516066149202, 3}};
        QTest::newRow("odd divisor, groups apart")
            << Records{Record(5, 1, 1234, 25, 1), Record(1, 1, 7, 0, 1)}
            << QList<Figures>{{1, 1, 1, 7, 7, 7, 0, 0}, {5, 1, 1, 49.36, 49.36, 49.36, 0, 2}};
    }
    void statistics()
    {
        QFETCH(Records, records);
        QFETCH(QList<Figures>, rows);
        CTRData data;
        for (const CMeasurement& r : records)
            data.Append(r);
        const std::vector<Statistics::Row> computed = Statistics::Compute(data);
        QCOMPARE(int(computed.size()), rows.size());
        for (int i = 0; i < rows.size(); ++i)
        {
            const Statistics::Row& c = computed[std::size_t(i)];
            const Figures got = {double(c.group), double(c.unit),    double(c.count),
                                 c.minimum,       c.maximum,         c.mean,
                                 c.deviation,     double(c.decimals)};
            for (int f = 0; f < 8; ++f)
                QVERIFY2(
                    qAbs(got[f] - rows[i][f]) <= 1e-9 * qMax(1.0, qAbs(rows[i][f])),
                    qPrintable(
                        QString("row %1 figure %2: %3").arg(i).arg(f).arg(got[f], 0, 'g', 17)));
        }
        QCOMPARE(Statistics::Format(-0.004, 2), QStringLiteral("0.00"));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
