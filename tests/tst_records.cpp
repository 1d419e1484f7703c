// Measurement records: the group container and the value text.
#include "CTRData.h"
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

    void groupsFromOneWithGapsInArrivalOrder()
    {
        CTRData data;
        data.family = QStringLiteral("VX-nn");
        for (int group : {0, 257, -3})
            data.Append(Record(group, 1)); // outside 1 to 256: not stored
        QCOMPARE(data.groupCount, 0);

        data.Append(Record(3, 9, 100));
        data.Append(Record(3, 9, 200)); // the same cell twice: both kept
        QCOMPARE(data.groupCount, 3);
        QCOMPARE(data.RecordCount(2), 0);
        QCOMPARE(data.RecordCount(3), 2);
        CMeasurement out = Record(0, 0, 42);
        QVERIFY(!data.GetRecord(3, 3, &out));
        QVERIFY(!data.GetRecord(4, 1, &out));
        QCOMPARE(out.value, 42); // a failed read copies nothing
        QVERIFY(data.GetRecord(3, 2, &out));
        QCOMPARE(out.value, 200);
        QVERIFY(data.GetRecord(3, 1, nullptr));

        data.Clear();
        QCOMPARE(data.groupCount, 0);
        QVERIFY(!data.GetRecord(3, 1, nullptr));
        QCOMPARE(data.family, QStringLiteral("VX-nn"));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
