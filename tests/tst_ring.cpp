// The receive ring: capacity, wrap-around, short reads, emptying.
#include "link/KCyclicBuffer.h"

#include <QtTest>

#include <vector>

namespace
{
std::vector<char> Pattern(int n, int seed)
{
    std::vector<char> bytes(std::size_t(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i)
        bytes[std::size_t(i)] = char((i * 7 + seed) & 0xFF);
    return bytes;
}
} // namespace

class TestRing : public QObject
{
    Q_OBJECT

private slots:
    void initLaysOutStorage()
    {
        KCyclicBuffer ring;
        QVERIFY(ring.header == nullptr);
        QVERIFY(ring.storage == nullptr);
        QVERIFY(!ring.overwrite);
        QCOMPARE(ring.Count(), 0);

        ring.Init(65000);
        QCOMPARE(static_cast<void*>(ring.header), static_cast<void*>(ring.storage));
        QCOMPARE(ring.header->size, 65000);
        QCOMPARE(ring.header->base, ring.storage + sizeof(KCyclicBuffer::Header));
        QCOMPARE(ring.end, ring.header->base + 65000);
        QCOMPARE(ring.header->readPos, ring.header->base);
        QCOMPARE(ring.header->writePos, ring.header->base);

        // A second Init starts over empty, with the new size.
        const std::vector<char> bytes = Pattern(100, 1);
        ring.Write(bytes.data(), 100);
        ring.Init(300);
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(ring.header->size, 300);
        QCOMPARE(ring.end - ring.header->base, 300L);
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
        QTest::newRow("two-byte ring holds one") << 2 << 10 << 1;
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
        if (stored == size - 1)
        {
            const char more = 'x';
            QCOMPARE(ring.Write(&more, 1), 0);
        }
        std::vector<char> out(std::size_t(size) + 10);
        QCOMPARE(ring.Read(out.data(), int(out.size())), stored);
        QVERIFY(std::equal(out.begin(), out.begin() + stored, bytes.begin()));
        QCOMPARE(ring.Count(), 0);
    }

    void wrapsAroundTheEnd()
    {
        KCyclicBuffer ring;
        ring.Init(65000);
        // Bring both positions to 5000 bytes before the end.
        const std::vector<char> lead = Pattern(60000, 5);
        std::vector<char> sink(60000);
        QCOMPARE(ring.Write(lead.data(), 60000), 60000);
        QCOMPARE(ring.Read(sink.data(), 60000), 60000);
        QCOMPARE(ring.header->readPos, ring.end - 5000);

        const std::vector<char> bytes = Pattern(10000, 9);
        QCOMPARE(ring.Write(bytes.data(), 10000), 10000);
        QCOMPARE(ring.Count(), 10000);
        // 5000 at the end of the data area, 5000 from its start.
        QVERIFY(std::equal(bytes.begin(), bytes.begin() + 5000, ring.end - 5000));
        QVERIFY(std::equal(bytes.begin() + 5000, bytes.end(), ring.header->base));
        QCOMPARE(ring.header->writePos, ring.header->base + 5000);

        std::vector<char> out(10000);
        QCOMPARE(ring.Read(out.data(), 10000), 10000);
        QVERIFY(out == bytes);
        QCOMPARE(ring.Count(), 0);
    }

    void writeThatEndsExactlyAtTheEndWrapsThePosition()
    {
        KCyclicBuffer ring;
        ring.Init(16);
        const std::vector<char> bytes = Pattern(16, 11);
        std::vector<char> out(16);
        QCOMPARE(ring.Write(bytes.data(), 10), 10);
        QCOMPARE(ring.Read(out.data(), 10), 10);
        QCOMPARE(ring.Write(bytes.data(), 6), 6); // fills up to the end
        QCOMPARE(ring.header->writePos, ring.header->base);
        QCOMPARE(ring.Read(out.data(), 6), 6);
        QCOMPARE(ring.header->readPos, ring.header->base);
        QVERIFY(std::equal(out.begin(), out.begin() + 6, bytes.begin()));
    }

    void readsNoMoreThanItHolds_data()
    {
        QTest::addColumn<int>("skip");  // bytes written and read first, to move the positions
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
        std::vector<char> out(6000, '\0');
        const std::vector<char> lead = Pattern(skip, 1);
        ring.Write(lead.data(), skip);
        ring.Read(out.data(), skip);
        const std::vector<char> bytes = Pattern(held, 2);
        QCOMPARE(ring.Write(bytes.data(), held), held);

        const int expected = qBound(0, asked, held);
        QCOMPARE(ring.Read(out.data(), asked), expected);
        QVERIFY(std::equal(out.begin(), out.begin() + expected, bytes.begin()));
        QCOMPARE(ring.Count(), held - expected);
    }

    void writeOfNothingChangesNothing()
    {
        KCyclicBuffer ring;
        ring.Init(100);
        const std::vector<char> bytes = Pattern(10, 4);
        ring.Write(bytes.data(), 10);
        QCOMPARE(ring.Write(bytes.data(), 0), 0);
        QCOMPARE(ring.Write(bytes.data(), -1), 0);
        QCOMPARE(ring.Count(), 10);
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
        std::vector<char> out(1000);
        const std::vector<char> bytes = Pattern(1000, 6);
        ring.Write(bytes.data(), skip);
        ring.Read(out.data(), skip);
        ring.Write(bytes.data(), held);
        ring.Clear();
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(ring.header->readPos, ring.header->base);
        QCOMPARE(ring.header->writePos, ring.header->base);
        QCOMPARE(ring.Read(out.data(), 10), 0);
        // The whole capacity is available again.
        QCOMPARE(ring.Write(bytes.data(), 1000), 999);
    }
};

QTEST_GUILESS_MAIN(TestRing)
#include "tst_ring.moc"
