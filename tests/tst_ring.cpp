// The receive ring: capacity, wrap-around, short reads, looking without taking, emptying.
#include "KCyclicBuffer.h"

#include <QtTest>

namespace
{
QByteArray Pattern(int n, int seed)
{
    QByteArray bytes(qMax(n, 0), '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + seed);
    return bytes;
}
} // namespace

class TestRing : public QObject
{
    Q_OBJECT

private slots:
    void writeReadClear_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("skip"); // bytes passed through first, to move both positions
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("asked");
        QTest::newRow("link ring keeps 64999 of 70000") << 65000 << 0 << 70000 << 64999 << 70000;
        QTest::newRow("wraps around the end") << 65000 << 60000 << 10000 << 10000 << 10000;
        QTest::newRow("fills up to the very end") << 16 << 10 << 6 << 6 << 6;
        QTest::newRow("full after wrapping") << 1000 << 950 << 5000 << 999 << 999;
        QTest::newRow("wrapped, asking fewer") << 1000 << 900 << 300 << 300 << 120;
    }
    void writeReadClear()
    {
        QFETCH(int, size);
        QFETCH(int, skip);
        QFETCH(int, offered);
        QFETCH(int, stored);
        QFETCH(int, asked);
        KCyclicBuffer ring;
        ring.Init(300);
        ring.Write("old", 3);
        ring.Init(size); // a second Init starts over, empty
        QByteArray out(qMax(offered, skip) + 1, '\0');
        QCOMPARE(ring.Write(Pattern(skip, 1).constData(), skip), skip);
        QCOMPARE(ring.Read(out.data(), skip), skip);

        const QByteArray bytes = Pattern(offered, 3);
        QCOMPARE(ring.Write(bytes.constData(), offered), stored);
        QCOMPARE(ring.Write(bytes.constData(), -1), 0);
        if (stored == qMax(size, 1) - 1) // full: nothing held is overwritten
            QCOMPARE(ring.Write("x", 1), 0);
        QCOMPARE(ring.Free(), qMax(size, 1) - 1 - stored);
        const int read = qBound(0, asked, stored);
        QByteArray looked(qMax(asked, 0), '\0');
        QCOMPARE(ring.Peek(looked.data(), asked), read); // a look takes nothing
        QCOMPARE(ring.Count(), stored);
        QCOMPARE(ring.Read(out.data(), asked), read);
        QCOMPARE(out.left(read), bytes.left(read));
        QCOMPARE(looked.left(read), out.left(read));
        QCOMPARE(ring.Count(), stored - read);
        // The rest comes out next, and the emptied ring takes as much again.
        QCOMPARE(ring.Read(out.data(), offered), stored - read);
        QCOMPARE(out.left(stored - read), bytes.mid(read, stored - read));
        QCOMPARE(ring.Write(bytes.constData(), offered), stored);

        ring.Clear();
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(ring.Read(out.data(), 10), 0);
        const QByteArray again = Pattern(qMax(size, 1), 5);
        QCOMPARE(ring.Write(again.constData(), again.size()), again.size() - 1);
    }
};

QTEST_GUILESS_MAIN(TestRing)
#include "tst_ring.moc"
