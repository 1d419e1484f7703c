// Reply frames built byte by byte the way an instrument sends them, the
// records that come out of them, their text and their statistics.
#include "CTRData.h"
#include "Statistics.h"
#include "support/Records.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

// A row of figures, computed by hand: group, unit, count, minimum, maximum,
// mean, deviation, decimals.
using Figures = QList<double>;
using Records = QList<CMeasurement>;
Q_DECLARE_METATYPE(Records)

namespace
{
QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray Header(bool tr620, int pages)
{
    return tr620 ? "WQXON" + Bytes({1, 4, 0, 1, 1, pages}) : "WQXONVX-T7" + Bytes({pages});
}

// 32 slots, the given ones first and the rest empty; a TR-620 page carries
// one more byte, which is never read.
QByteArray Page(bool tr620, const QList<QByteArray>& given = {}, char trailer = 0)
{
    QByteArray page;
    for (const QByteArray& slot : given)
        page += slot;
    page += QByteArray(8 * (32 - given.size()), '\0');
    return tr620 ? page + trailer : page;
}

QByteArray VXSlot(int group, int cell, int reading, int r = 0, int u = 0)
{
    return Bytes(
        {group & 0xFF, group >> 8, cell & 0xFF, cell >> 8, reading & 0xFF, reading >> 8, r, u});
}

int Stored(const CTRData& data)
{
    int n = 0;
    for (int g = 1; g <= data.groupCount; ++g)
        n += data.RecordCount(g);
    return n;
}
} // namespace

class TestDecode : public QObject
{
    Q_OBJECT

private slots:
    // The resolution and inch flags are any byte but 0; group 256 and cell
    // 65535 are the largest. (Each kind and unit of both families: the
    // engine's transfer test.)
    void vxFlagsAndLargestNumbers()
    {
        const QByteArray frame =
            Header(false, 1) + Page(false, {VXSlot(256, 65535, 12345, 0x80, 2)});
        CTRData data;
        CMeasurement r;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QVERIFY(data.GetRecord(256, 1, &r));
        QCOMPARE(r.cell, 65535);
        QCOMPARE(r.unit, int(Unit::Inches));
        QCOMPARE(FormatValue(r), QStringLiteral("12.345"));
    }

    // Whole replies and replies cut short: "g:n" is n records in group g,
    // and a reply that is refused gives no records at all.
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("length"); // the bytes that arrived; -1 all
        QTest::addColumn<QString>("held");
        const QByteArray vx = Page(false, {VXSlot(1, 1, 10)});
        const QByteArray tr = Page(true, {Bytes({1, 1, 10, 0, 0, 0, 0, 0})});
        QTest::newRow("10 bytes") << Header(false, 1).left(10) << -1 << "";
        QTest::newRow("wrong magic") << "WQXOF" + Header(false, 1).mid(5) + vx << -1 << "";
        QTest::newRow("unknown signature") << "WQXON" + Bytes({1, 4, 0, 1, 2, 1}) + tr << -1 << "";
        QTest::newRow("VX, any byte 9") << "WQXONVX-T" + Bytes({0xFF, 1}) + vx << -1 << "1:1";
        QTest::newRow("page count 0") << Header(false, 0) + vx << -1 << "";
        // The count is a byte the instrument sends unsigned.
        QTest::newRow("page count 0x80: 128 pages, 3 came")
            << Header(false, 0x80) + vx.repeated(3) << -1 << "1:3";
        QTest::newRow("page count 0xFF: 255 pages, 3 came")
            << Header(true, 0xFF) + tr.repeated(3) << -1 << "1:3";
        QTest::newRow("only empty slots") << Header(false, 2) + Page(false).repeated(2) << -1 << "";
        QTest::newRow("TR-620 slot with flag T alone is empty")
            << Header(true, 1) + Page(true, {Bytes({3, 7, 0, 0x80, 0, 1, 0, 0})}) << -1 << "";
        QTest::newRow("TR-620 slot of cell 0 is empty")
            << Header(true, 1) + Page(true, {Bytes({3, 0, 0xD2, 4, 0, 0, 0, 0})}) << -1 << "";
        QTest::newRow("a group past 256 is not kept")
            << Header(false, 1) + Page(false, {VXSlot(300, 4, 9), VXSlot(2, 1, 5)}) << -1 << "2:1";
        QByteArray most = Header(false, 0x7F);
        for (int page = 0; page < 127; ++page)
            most +=
                Page(false, QList<QByteArray>(31, QByteArray(8, '\0')) << VXSlot(1, page + 1, 9));
        QTest::newRow("0x7F pages, each walked to its last slot") << most << -1 << "1:127";
        // The record in slot 0 of page 1 lies at 11 + 257; the 257th byte of
        // page 0 and a page after the announced ones are not records.
        QTest::newRow("TR-620 pages are 257 bytes")
            << Header(true, 2) + Page(true, {}, char(0x11)) +
                   Page(true, {Bytes({4, 2, 0x10, 0x27, 0, 0, 0, 0})}) +
                   Page(true, {Bytes({7, 7, 7, 7, 0, 0, 0, 0})})
            << -1 << "4:1";
        QList<QByteArray> full;
        for (int s = 0; s < 32; ++s)
            full.append(Bytes({1, s + 1, 10 + s, 0, 0, 0, 0, 0}));
        QTest::newRow("3 pages announced, 1 and a slot and a half came: the whole slots")
            << Header(true, 3) + Page(true, full) +
                   Page(true, {Bytes({9, 1, 50, 0, 0, 0, 0, 0}), Bytes({9, 2, 60, 0, 0, 0, 0, 0})})
            << 11 + 257 + 12 << "1:32 9:1";
    }
    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, length);
        QFETCH(QString, held);
        CTRData data;
        data.family = QStringLiteral("before");
        const unsigned arrived = unsigned(length < 0 ? frame.size() : length);
        QCOMPARE(data.Decode(frame.constData(), arrived), !held.isEmpty());
        QStringList groups;
        for (int g = 1; g <= data.groupCount; ++g)
            if (data.RecordCount(g) > 0)
                groups << QStringLiteral("%1:%2").arg(g).arg(data.RecordCount(g));
        QCOMPARE(groups.join(' '), held);
        QCOMPARE(data.family == "before", held.isEmpty()); // a refused reply names no family
    }

    // Random and mutated frames of every length up to a few pages: the
    // sanitizer build catches any read outside the bytes given.
    void randomAndMutatedFrames()
    {
        QRandomGenerator rng(20261206);
        const QByteArray seeds[] = {
            Header(false, 3) + Page(false, {VXSlot(1, 1, 5), VXSlot(300, 2, 6)}).repeated(3),
            Header(true, 3) + Page(true, {Bytes({1, 1, 5, 0x80, 0, 1, 0, 0})}).repeated(3),
        };
        int decoded = 0;
        for (int round = 0; round < 4000; ++round)
        {
            QByteArray frame = seeds[round % 2];
            if (round % 3 == 0)
                frame.resize(int(rng.bounded(4 * 257 + 20)));
            for (int i = int(rng.bounded(8)); i >= 0; --i)
                frame[int(rng.bounded(quint32(frame.size())))] = char(rng.bounded(256));
            const int length = int(rng.bounded(quint32(frame.size() + 1)));
            std::unique_ptr<char[]> exact(new char[std::size_t(length)]);
            std::memcpy(exact.get(), frame.constData(), std::size_t(length));
            CTRData data;
            const bool found = data.Decode(exact.get(), unsigned(length));
            decoded += found ? 1 : 0;
            QVERIFY(!found || length >= 11 + 8);
            QVERIFY(Stored(data) <= qMax(0, (length - 11) / 8));
        }
        QVERIFY(decoded > 100);
    }

    void formatValue_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QString>("text");
        QTest::newRow("divisor 0") << 1234 << 0 << "1234";
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

    // Pass and fail counts and capability against tables worked out by hand.
    void limits()
    {
        const auto limit = [](int group, int unit, std::optional<double> low,
                              std::optional<double> high) {
            Limit l;
            l.group = group;
            l.unit = unit;
            l.low = low;
            l.high = high;
            return l;
        };
        const std::vector<Limit> limits = {
            limit(1, Limit::AnyUnit, 10.2, 10.4), // readings on both limits pass
            limit(2, Limit::AnyUnit, std::nullopt, 5),
            limit(3, Unit::Millimetres, 1.2, 1.24), // a divisor of 25
            limit(4, Limit::AnyUnit, std::nullopt, 1),
            limit(4, Unit::Inches, std::nullopt, 100),            // the unit's own limit first
            limit(5, Limit::AnyUnit, std::nullopt, std::nullopt), // judges nothing
        };
        CTRData data;
        for (const CMeasurement& r :
             {Record(1, 1, 100, 10, 2), Record(1, 2, 102, 10, 2), Record(1, 3, 104, 10, 2),
              Record(1, 4, 106, 10, 2), Record(2, 1, 4, 0, 0), Record(2, 2, 5, 0, 0),
              Record(2, 3, 6, 0, 0), Record(3, 1, 30, 25, 2), Record(3, 2, 31, 25, 2),
              Record(3, 3, 29, 25, 2), Record(4, 1, 2, 0, 2), Record(4, 2, 50, 0, 3),
              Record(5, 1, 1, 0, 2)})
            data.Append(r);
        // group, unit, pass, fail (-1: not judged), Cp, Cpk (-1: none)
        const QList<Figures> expected = {
            {1, 2, 2, 2, 0.2 / (6 * std::sqrt(0.2 / 3)), 0.1 / (3 * std::sqrt(0.2 / 3))},
            {2, 0, 2, 1, -1, -1},
            {3, 2, 2, 1, 0.04 / (6 * 0.04), 0},
            {4, 2, 0, 1, -1, -1},
            {4, 3, 1, 0, -1, -1},
            {5, 2, -1, -1, -1, -1},
        };
        const std::vector<Statistics::Row> rows = Statistics::Compute(data, limits);
        QCOMPARE(int(rows.size()), expected.size());
        for (int i = 0; i < expected.size(); ++i)
        {
            const Statistics::Row& r = rows[std::size_t(i)];
            const Figures& e = expected[i];
            const QString row = QString("row %1").arg(i);
            QCOMPARE(QList<int>({r.group, r.unit}), QList<int>({int(e[0]), int(e[1])}));
            QVERIFY2(r.judged == (e[2] >= 0), qPrintable(row));
            QCOMPARE(QList<int>({r.pass, r.fail}),
                     e[2] >= 0 ? QList<int>({int(e[2]), int(e[3])}) : QList<int>({0, 0}));
            QVERIFY2(r.capable == (e[4] >= 0), qPrintable(row));
            if (r.capable)
                QVERIFY2(
                    qAbs(r.cp - e[4]) < 1e-12 && qAbs(r.cpk - e[5]) < 1e-12,
                    qPrintable(row +
                               QString(": %1 %2").arg(r.cp, 0, 'g', 17).arg(r.cpk, 0, 'g', 17)));
        }
        QCOMPARE(Limits::Judge(limits, Record(1, 9, 101, 10, 2)), Limits::Verdict::Low);
        QCOMPARE(Limits::Judge(limits, Record(1, 9, 1041, 100, 2)), Limits::Verdict::High);
        QCOMPARE(Limits::Judge(limits, Record(9, 1, 1, 0, 2)), Limits::Verdict::Unjudged);
    }
};

QTEST_GUILESS_MAIN(TestDecode)
#include "tst_decode.moc"
