// The receive ring: capacity, wrap-around, short reads, emptying.
#include "link/KCyclicBuffer.h"

#include <QtTest>

#include <vector>

namespace
{
std::vector<char> Pattern(int n, int seed)
{
    std::vector<char> bytes(std::size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        bytes[std::size_t(i)] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

// Writes and reads back skip bytes, so that both positions stand skip bytes in.
void Advance(KCyclicBuffer& ring, int skip)
{
    std::vector<char> bytes = Pattern(skip, 0);
    QCOMPARE(ring.Write(bytes.data(), skip), skip);
    QCOMPARE(ring.Read(bytes.data(), skip), skip);
}

const void* At(const char* p)
{
    return p;
}
} // namespace

class TestRing : public QObject
{
    Q_OBJECT

  private slots:
    void initLaysOutStorage()
    {
        KCyclicBuffer ring;
        QCOMPARE(ring.Count(), 0);
        ring.Init(65000);
        QCOMPARE(static_cast<const void*>(ring.header), At(ring.storage));
        QCOMPARE(At(ring.header->base), At(ring.storage + sizeof(KCyclicBuffer::Header)));
        QCOMPARE(At(ring.end), At(ring.header->base + 65000));
        QCOMPARE(ring.header->size, 65000);

        // A second Init starts over, empty, with the new size.
        Advance(ring, 100);
        const std::vector<char> bytes = Pattern(10, 1);
        ring.Write(bytes.data(), 10);
        ring.Init(300);
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(At(ring.end), At(ring.header->base + 300));
        QCOMPARE(At(ring.header->readPos), At(ring.header->base));
        QCOMPARE(At(ring.header->writePos), At(ring.header->base));
    }

    void holdsOneByteLessThanItsSize_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("stored");
        QTest::newRow("link ring takes 64999 of 65000") << 65000 << 65000 << 64999;
        QTest::newRow("link ring takes 64999 of 70000") << 65000 << 70000 << 64999;
        QTest::newRow("exactly its capacity") << 65000 << 64999 << 64999;
        QTest::newRow("less than its capacity") << 65000 << 1000 << 1000;
        QTest::newRow("smallest ring holds nothing") << 1 << 10 << 0;
        QTest::newRow("nonsense size acts as the smallest") << -5 << 10 << 0;
    }
    void holdsOneByteLessThanItsSize()
    {
        QFETCH(int, size);
        QFETCH(int, offered);
        QFETCH(int, stored);
        KCyclicBuffer ring;
        ring.Init(size);
        const std::vector<char> bytes = Pattern(offered, 3);
        QCOMPARE(ring.Write(bytes.data(), offered), stored);
        QCOMPARE(ring.Count(), stored);
        // Once full, nothing more goes in and nothing held is overwritten.
        if (stored + 1 == ring.header->size)
            QCOMPARE(ring.Write("x", 1), 0);
        std::vector<char> out(std::size_t(std::max(offered, 1)), 0);
        QCOMPARE(ring.Read(out.data(), offered), stored);
        QVERIFY(std::equal(out.begin(), out.begin() + stored, bytes.begin()));
    }

    void wrapsAroundTheEnd()
    {
        KCyclicBuffer ring;
        ring.Init(65000);
        Advance(ring, 60000); // 5000 bytes before the end
        const std::vector<char> bytes = Pattern(10000, 9);
        QCOMPARE(ring.Write(bytes.data(), 10000), 10000);
        QCOMPARE(ring.Count(), 10000);
        // 5000 at the end of the data area, 5000 from its start.
        QVERIFY(std::equal(bytes.begin(), bytes.begin() + 5000, ring.end - 5000));
        QVERIFY(std::equal(bytes.begin() + 5000, bytes.end(), ring.header->base));

        std::vector<char> out(10000);
        QCOMPARE(ring.Read(out.data(), 10000), 10000);
        QVERIFY(out == bytes);
        QCOMPARE(ring.Count(), 0);
    }

    void positionsReachingTheEndWrap()
    {
        KCyclicBuffer ring;
        ring.Init(16);
        Advance(ring, 10);
        const std::vector<char> bytes = Pattern(6, 11);
        QCOMPARE(ring.Write(bytes.data(), 6), 6); // up to the very end
        QCOMPARE(At(ring.header->writePos), At(ring.header->base));
        std::vector<char> out(6);
        QCOMPARE(ring.Read(out.data(), 6), 6);
        QCOMPARE(At(ring.header->readPos), At(ring.header->base));
        QVERIFY(out == bytes);
    }

    void readsNoMoreThanItHolds_data()
    {
        QTest::addColumn<int>("skip"); // where the positions stand first
        QTest::addColumn<int>("held");
        QTest::addColumn<int>("asked");
        QTest::newRow("plain, asking more") << 0 << 300 << 5000;
        QTest::newRow("wrapped, asking more") << 900 << 300 << 5000;
        QTest::newRow("wrapped, asking fewer") << 900 << 300 << 120;
        QTest::newRow("empty") << 500 << 0 << 10;
        QTest::newRow("asking nothing") << 0 << 50 << 0;
        QTest::newRow("asking a negative count") << 0 << 50 << -4;
    }
    void readsNoMoreThanItHolds()
    {
        QFETCH(int, skip);
        QFETCH(int, held);
        QFETCH(int, asked);
        KCyclicBuffer ring;
        ring.Init(1000);
        Advance(ring, skip);
        const std::vector<char> bytes = Pattern(held, 2);
        QCOMPARE(ring.Write(bytes.data(), held), held);
        QCOMPARE(ring.Write(bytes.data(), -1), 0);

        std::vector<char> out(6000, '\0');
        const int expected = qBound(0, asked, held);
        QCOMPARE(ring.Read(out.data(), asked), expected);
        QVERIFY(std::equal(out.begin(), out.begin() + expected, bytes.begin()));
        QCOMPARE(ring.Count(), held - expected);
    }

    void clearEmpties_data()
    {
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("held");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("some") << 0 << 77;
        QTest::newRow("wrapped") << 950 << 100;
        QTest::newRow("full") << 0 << 999;
    }
    void clearEmpties()
    {
        QFETCH(int, skip);
        QFETCH(int, held);
        KCyclicBuffer ring;
        ring.Init(1000);
        Advance(ring, skip);
        std::vector<char> bytes = Pattern(1000, 6);
        ring.Write(bytes.data(), held);
        ring.Clear();
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(ring.Read(bytes.data(), 10), 0);
        QCOMPARE(ring.Write(bytes.data(), 1000), 999); // the whole capacity again
    }
};

QTEST_GUILESS_MAIN(TestRing)
#include "tst_ring.moc"
