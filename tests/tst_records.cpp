// Measurement records: the group container and the value text.
#include "engine/CTRData.h"
#include "support/Records.h"

#include <QtTest>

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void formatValue_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QString>("text");
        QTest::newRow("divisor 0 is a whole number") << 1234 << 0 << "1234";
        QTest::newRow("divisor 1 is a whole number") << 1234 << 1 << "1234";
        QTest::newRow("divisor 10, one decimal") << 1234 << 10 << "123.4";
        QTest::newRow("divisor 100, two decimals") << 1234 << 100 << "12.34";
        QTest::newRow("divisor 1000, three decimals") << 1234 << 1000 << "1.234";
        QTest::newRow("odd divisor, two decimals") << 1234 << 25 << "49.36";
        QTest::newRow("leading zero") << 5 << 100 << "0.05";
        QTest::newRow("trailing zero kept") << 20 << 1000 << "0.020";
        QTest::newRow("negative whole") << -7 << 0 << "-7";
        QTest::newRow("largest reading, inches") << 65535 << 1000 << "65.535";
    }
    void formatValue()
    {
        QFETCH(int, value);
        QFETCH(int, divisor);
        QFETCH(QString, text);
        QCOMPARE(FormatValue(Record(1, 1, value, divisor)), text);
    }

    void groupsCountFromOneAndMayHaveGaps()
    {
        CTRData data;
        QCOMPARE(data.groupCount, 0);
        QVERIFY(data.family.isEmpty());

        data.Append(Record(3, 9, 100));
        data.Append(Record(3, 4, 200));
        QCOMPARE(data.groupCount, 3);
        QCOMPARE(data.RecordCount(1), 0);
        QCOMPARE(data.RecordCount(2), 0);
        QCOMPARE(data.RecordCount(3), 2);
        QCOMPARE(data.RecordCount(4), 0);
        QCOMPARE(data.RecordCount(0), 0);
        QCOMPARE(data.RecordCount(-1), 0);

        // Arrival order, not cell order.
        CMeasurement out;
        QVERIFY(data.GetRecord(3, 1, &out));
        QCOMPARE(out.cell, 9);
        QVERIFY(data.GetRecord(3, 2, &out));
        QCOMPARE(out.cell, 4);
        QVERIFY(data.GetRecord(3, 1, nullptr));

        out = Record(0, 0, 42);
        QVERIFY(!data.GetRecord(3, 3, &out));
        QVERIFY(!data.GetRecord(3, 0, &out));
        QVERIFY(!data.GetRecord(2, 1, &out));
        QVERIFY(!data.GetRecord(4, 1, &out));
        QCOMPARE(out.value, 42); // a failed read copies nothing
    }

    void groupsOutsideRangeAreDropped()
    {
        CTRData data;
        data.Append(Record(0, 1));
        data.Append(Record(257, 1));
        data.Append(Record(-3, 1));
        QCOMPARE(data.groupCount, 0);

        data.Append(Record(256, 1));
        QCOMPARE(data.groupCount, 256);
        QCOMPARE(data.RecordCount(256), 1);
    }

    void duplicatesAreKept()
    {
        CTRData data;
        data.Append(Record(2, 5, 10));
        data.Append(Record(2, 5, 20));
        QCOMPARE(data.RecordCount(2), 2);
        CMeasurement first, second;
        QVERIFY(data.GetRecord(2, 1, &first));
        QVERIFY(data.GetRecord(2, 2, &second));
        QCOMPARE(first.value, 10);
        QCOMPARE(second.value, 20);
    }

    void clearEmptiesButKeepsFamily()
    {
        CTRData data;
        data.family = QStringLiteral("VX-nn");
        data.Append(Record(1, 1));
        data.Append(Record(7, 1));
        data.Clear();
        QCOMPARE(data.groupCount, 0);
        QCOMPARE(data.RecordCount(1), 0);
        QVERIFY(!data.GetRecord(1, 1, nullptr));
        QCOMPARE(data.family, QStringLiteral("VX-nn"));
        // Lower groups filled after a Clear do not see old records.
        data.Append(Record(7, 2));
        QCOMPARE(data.RecordCount(7), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
