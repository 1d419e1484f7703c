// Reply frames built byte by byte the way an instrument sends them, and the
// records that come out of them.
#include "decode/ReplyFrame.h"
#include "engine/CTRData.h"

#include <QRandomGenerator>
#include <QtTest>

namespace
{
QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray TR620Header(int pages)
{
    return QByteArray("WQXON") + Bytes({0x01, 0x04, 0x00, 0x01, 0x01, pages});
}

QByteArray VXnnHeader(int pages, char byte9 = '7')
{
    return QByteArray("WQXONVX-T") + QByteArray(1, byte9) + Bytes({pages});
}

// A page of 32 slotList filled from the given slotList, the rest empty; TR-620
// pages carry one trailing byte.
QByteArray Page(const QList<QByteArray>& slotList, bool tr620, char trailer = 0)
{
    QByteArray page;
    for (const QByteArray& slot : slotList)
        page += slot;
    page += QByteArray(8 * (32 - slotList.size()), '\0');
    if (tr620)
        page += trailer;
    return page;
}

QByteArray VXnnSlot(int group, int cell, int reading, int r = 0, int u = 0)
{
    return Bytes({group & 0xFF, group >> 8, cell & 0xFF, cell >> 8, reading & 0xFF, reading >> 8,
                  r, u});
}

CMeasurement Only(const CTRData& data, int group)
{
    CMeasurement r;
    if (!data.GetRecord(group, 1, &r))
        qWarning("no record in group %d", group);
    return r;
}
} // namespace

class TestDecode : public QObject
{
    Q_OBJECT

private slots:
    void tr620Slots_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("mode 0: time") << Bytes({3, 7, 0xD2, 0x04, 0, 0, 0, 0}) << true << 2 << 1
                                      << "123.4";
        QTest::newRow("mode set, flag T: time, T not in reading")
            << Bytes({3, 7, 0xD2, 0x84, 0, 1, 0, 0}) << true << 1 << 1 << "123.4";
        QTest::newRow("mode set, no T: velocity")
            << Bytes({3, 7, 0xD2, 0x04, 0, 1, 0, 0}) << true << 0 << 0 << "1234";
        QTest::newRow("unread bytes ignored")
            << Bytes({3, 7, 0xD2, 0x04, 0xEE, 0x40, 0xFF, 0xFF}) << true << 0 << 0 << "1234";
        QTest::newRow("only flag T: empty") << Bytes({3, 7, 0x00, 0x80, 0, 1, 0, 0}) << false << 0
                                            << 0 << "";
        QTest::newRow("group 0: empty") << Bytes({0, 7, 0xD2, 0x04, 0, 0, 0, 0}) << false << 0
                                        << 0 << "";
        QTest::newRow("cell 0: empty") << Bytes({3, 0, 0xD2, 0x04, 0, 0, 0, 0}) << false << 0 << 0
                                       << "";
        QTest::newRow("largest reading") << Bytes({255, 255, 0xFF, 0xFF, 0, 0, 0, 0}) << true << 2
                                         << 1 << "3276.7";
    }
    void tr620Slots()
    {
        QFETCH(QByteArray, slot);
        QFETCH(bool, found);
        const QByteArray frame = TR620Header(1) + Page({slot}, true);
        QCOMPARE(frame.size(), 11 + 257);

        CTRData data;
        QCOMPARE(data.Decode(frame.constData(), unsigned(frame.size())), found);
        if (!found)
        {
            QCOMPARE(data.groupCount, 0);
            QVERIFY(data.family.isEmpty());
            return;
        }
        QFETCH(int, kind);
        QFETCH(int, unit);
        QFETCH(QString, shown);
        const int group = static_cast<unsigned char>(slot[0]);
        QCOMPARE(data.groupCount, group);
        QCOMPARE(data.RecordCount(group), 1);
        const CMeasurement r = Only(data, group);
        QCOMPARE(r.cell, int(static_cast<unsigned char>(slot[1])));
        QCOMPARE(r.kind, kind);
        QCOMPARE(r.unit, unit);
        QCOMPARE(FormatValue(r), shown);
        QCOMPARE(data.family, QStringLiteral("TR-620"));
    }

    void vxnnSlots_data()
    {
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("u");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("mm, coarse") << 0 << 0 << 2 << "1234.5";
        QTest::newRow("mm, fine") << 1 << 0 << 2 << "123.45";
        QTest::newRow("inches, coarse") << 0 << 1 << 3 << "123.45";
        QTest::newRow("inches, fine") << 1 << 1 << 3 << "12.345";
        QTest::newRow("any non-zero flag counts") << 0x80 << 0x02 << 3 << "12.345";
    }
    void vxnnSlots()
    {
        QFETCH(int, r);
        QFETCH(int, u);
        QFETCH(int, unit);
        QFETCH(QString, shown);
        const QByteArray slot = Bytes({0x05, 0x00, 0x0C, 0x00, 0x39, 0x30, r, u});
        const QByteArray frame = VXnnHeader(1) + Page({slot}, false);
        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.groupCount, 5);
        const CMeasurement rec = Only(data, 5);
        QCOMPARE(rec.cell, 12);
        QCOMPARE(rec.value, 12345);
        QCOMPARE(rec.kind, 3);
        QCOMPARE(rec.unit, unit);
        QCOMPARE(FormatValue(rec), shown);
        QCOMPARE(data.family, QStringLiteral("VX-nn"));
    }

    void vxnnWideNumbersAndHighGroups()
    {
        // Group 256 is the last stored; 257 and 300 count as found, not stored.
        const QByteArray frame =
            VXnnHeader(1) + Page({VXnnSlot(0x0101, 1, 1), VXnnSlot(256, 65535, 65535),
                                  VXnnSlot(300, 2, 2)},
                                 false);
        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.groupCount, 256);
        const CMeasurement r = Only(data, 256);
        QCOMPARE(r.cell, 65535);
        QCOMPARE(r.value, 65535);

        const QByteArray onlyHigh = VXnnHeader(1) + Page({VXnnSlot(300, 4, 9)}, false);
        CTRData high;
        QVERIFY(high.Decode(onlyHigh.constData(), unsigned(onlyHigh.size())));
        QCOMPARE(high.groupCount, 0);
        QCOMPARE(high.family, QStringLiteral("VX-nn"));
    }

    void headerChecks_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("decodes");
        const QByteArray vxPage = Page({VXnnSlot(1, 1, 10)}, false);
        const QByteArray trPage = Page({Bytes({1, 1, 10, 0, 0, 0, 0, 0})}, true);
        QTest::newRow("10 bytes") << VXnnHeader(1).left(10) << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("wrong magic") << QByteArray("WQXOFVX-T7") + Bytes({1}) + vxPage << false;
        QTest::newRow("lower-case magic") << QByteArray("wqxonVX-T7") + Bytes({1}) + vxPage
                                          << false;
        QTest::newRow("unknown signature")
            << QByteArray("WQXON") + Bytes({1, 4, 0, 1, 2, 1}) + trPage << false;
        QTest::newRow("VX signature with any byte 9") << VXnnHeader(1, '\xFF') + vxPage << true;
        QTest::newRow("VX signature, byte 9 zero") << VXnnHeader(1, '\0') + vxPage << true;
        QTest::newRow("page count 0") << VXnnHeader(0) + vxPage << false;
        QTest::newRow("page count 0x80") << VXnnHeader(0x80) + vxPage.repeated(4) << false;
        QTest::newRow("page count 0xFF") << TR620Header(0xFF) + trPage.repeated(4) << false;
        QTest::newRow("header only") << VXnnHeader(1) << false;
        QTest::newRow("all slotList empty") << VXnnHeader(2) + Page({}, false).repeated(2) << false;
    }
    void headerChecks()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, decodes);
        CTRData data;
        data.family = QStringLiteral("before");
        QCOMPARE(data.Decode(frame.constData(), unsigned(frame.size())), decodes);
        if (!decodes)
        {
            QCOMPARE(data.groupCount, 0);
            QCOMPARE(data.family, QStringLiteral("before"));
        }
    }

    void largestPageCountDecodesEveryPage()
    {
        // 0x7F pages, one record at the end of each: all 127 come out.
        QByteArray frame = VXnnHeader(0x7F);
        for (int page = 0; page < 127; ++page)
        {
            QList<QByteArray> slotList(31, QByteArray(8, '\0'));
            slotList.append(VXnnSlot(1, page + 1, 100 + page));
            frame += Page(slotList, false);
        }
        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.RecordCount(1), 127);
        CMeasurement last;
        QVERIFY(data.GetRecord(1, 127, &last));
        QCOMPARE(last.cell, 127);
        QCOMPARE(last.value, 226);
    }

    void truncatedFrameKeepsCompleteSlots()
    {
        // 3 pages announced, one whole page and half a slot arrived.
        QList<QByteArray> first;
        for (int s = 0; s < 32; ++s)
            first.append(Bytes({1 + s % 3, s + 1, 10 + s, 0, 0, 0, 0, 0}));
        QList<QByteArray> second = {Bytes({9, 1, 50, 0, 0, 0, 0, 0}),
                                    Bytes({9, 2, 60, 0, 0, 0, 0, 0})};
        const QByteArray whole = TR620Header(3) + Page(first, true) + Page(second, true);
        // Cut inside the second slot of page 1: its first slot is complete.
        const int cut = 11 + 257 + 8 + 4;
        CTRData data;
        QVERIFY(data.Decode(whole.constData(), unsigned(cut)));
        QCOMPARE(data.RecordCount(1) + data.RecordCount(2) + data.RecordCount(3), 32);
        QCOMPARE(data.RecordCount(9), 1);
        QCOMPARE(data.groupCount, 9);
    }

    void extraBytesAndTrailerChangeNothing()
    {
        const QByteArray slot = Bytes({2, 3, 44, 0, 0, 1, 0, 0});
        QByteArray frame = TR620Header(1) + Page({slot}, true, '\x00');
        CTRData plain;
        QVERIFY(plain.Decode(frame.constData(), unsigned(frame.size())));

        // The 257th byte of the page (offset 267) and anything after the last
        // page are not records.
        QByteArray changed = frame;
        changed[267] = char(0x5A);
        changed += Page({Bytes({7, 7, 7, 7, 0, 0, 0, 0})}, true);
        CTRData other;
        QVERIFY(other.Decode(changed.constData(), unsigned(changed.size())));
        QCOMPARE(other.groupCount, plain.groupCount);
        QCOMPARE(other.RecordCount(2), 1);
        QCOMPARE(other.RecordCount(7), 0);
    }

    void tr620PagesAre257Bytes()
    {
        // A record in slot 0 of page 1 lies at 11 + 257; a decoder that used
        // 256-byte pages would read the page's trailer byte as the group.
        QByteArray frame = TR620Header(2) + Page({}, true, char(0x11)) +
                           Page({Bytes({4, 2, 0x10, 0x27, 0, 0, 0, 0})}, true);
        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.groupCount, 4);
        QCOMPARE(Only(data, 4).value, 10000);
    }

    void recordsKeepPageAndSlotOrder()
    {
        const QByteArray frame =
            VXnnHeader(2) + Page({VXnnSlot(1, 9, 1), VXnnSlot(1, 3, 2)}, false) +
            Page({VXnnSlot(1, 9, 3)}, false);
        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.RecordCount(1), 3);
        int values[3];
        for (int i = 0; i < 3; ++i)
        {
            CMeasurement r;
            QVERIFY(data.GetRecord(1, i + 1, &r));
            values[i] = r.value;
        }
        QCOMPARE(values[0], 1);
        QCOMPARE(values[1], 2);
        QCOMPARE(values[2], 3);
    }

    void virtualPattern()
    {
        CTRData data;
        data.Append(CMeasurement{9, 1, 1, 0, 0, 0});
        data.MakeVirtualData();
        QCOMPARE(data.family, QStringLiteral("VirtualDevice"));
        QCOMPARE(data.groupCount, 5);
        int total = 0;
        for (int g = 1; g <= 5; ++g)
        {
            QCOMPARE(data.RecordCount(g), g + 64);
            total += data.RecordCount(g);
        }
        QCOMPARE(total, 335);
        QCOMPARE(data.RecordCount(9), 0);

        CMeasurement r;
        QVERIFY(data.GetRecord(1, 1, &r));
        QCOMPARE(r.cell, 1);
        QCOMPARE(r.value, 3);
        QCOMPARE(r.unit, 2);
        QCOMPARE(FormatValue(r), QStringLiteral("0.03"));
        QVERIFY(data.GetRecord(5, 69, &r));
        QCOMPARE(r.cell, 69);
        QCOMPARE(r.value, 74);
        QCOMPARE(r.unit, 2);
        QCOMPARE(FormatValue(r), QStringLiteral("0.74"));
        QVERIFY(data.GetRecord(2, 3, &r));
        QCOMPARE(r.value, 5);
        QCOMPARE(r.unit, 1);
        QCOMPARE(r.kind, 1);
    }

    void announcedLength()
    {
        QCOMPARE(ReplyFrame::AnnouncedLength(VXnnHeader(3).constData(), 11), 11L + 3 * 256);
        QCOMPARE(ReplyFrame::AnnouncedLength(TR620Header(3).constData(), 11), 11L + 3 * 257);
        // The instrument's count is unsigned on the wire.
        QCOMPARE(ReplyFrame::AnnouncedLength(VXnnHeader(0xFF).constData(), 11), 11L + 255 * 256);
        QCOMPARE(ReplyFrame::AnnouncedLength(VXnnHeader(3).constData(), 10), 0L);
        QCOMPARE(ReplyFrame::AnnouncedLength("WQXONXXXXX\x03", 11), 0L);
    }

    // Random and mutated frames of every length up to a few pages: the
    // decoders must only ever read inside what they were given (the sanitizer
    // build checks that) and must agree with the page walk's rules.
    void randomAndMutatedFrames()
    {
        QRandomGenerator rng(20261206);
        QByteArray seeds[] = {
            VXnnHeader(3) + Page({VXnnSlot(1, 1, 5), VXnnSlot(300, 2, 6)}, false).repeated(3),
            TR620Header(3) + Page({Bytes({1, 1, 5, 0x80, 0, 1, 0, 0})}, true).repeated(3),
        };
        int decoded = 0;
        for (int round = 0; round < 4000; ++round)
        {
            QByteArray frame;
            if (round % 2 == 0)
            {
                frame = seeds[(round / 2) % 2];
                const int flips = 1 + int(rng.bounded(8));
                for (int i = 0; i < flips; ++i)
                    frame[int(rng.bounded(quint32(frame.size())))] = char(rng.bounded(256));
                if (rng.bounded(3) == 0)
                    frame[10] = char(rng.bounded(256));
            }
            else
            {
                frame = (round % 4 == 1) ? seeds[0].left(11) : QByteArray();
                frame.resize(int(rng.bounded(4 * 257 + 20)));
                for (int i = frame.size() == 11 ? 11 : 0; i < frame.size(); ++i)
                    frame[i] = char(rng.bounded(256));
            }
            const int length = int(rng.bounded(quint32(frame.size() + 1)));
            // Exactly `length` bytes on the heap, so a read past them is caught.
            std::unique_ptr<char[]> exact(new char[std::size_t(length)]);
            std::memcpy(exact.get(), frame.constData(), std::size_t(length));
            CTRData data;
            const bool found = data.Decode(exact.get(), unsigned(length));
            decoded += found ? 1 : 0;
            if (!found)
                QCOMPARE(data.groupCount, 0);
            if (length < 11)
                QVERIFY(!found);
            const int stored = [&] {
                int n = 0;
                for (int g = 1; g <= data.groupCount; ++g)
                    n += data.RecordCount(g);
                return n;
            }();
            QVERIFY(stored <= (length - 11 > 0 ? (length - 11) / 8 : 0));
        }
        QVERIFY2(decoded > 100, "mutations should leave many frames decodable");
    }
};

QTEST_GUILESS_MAIN(TestDecode)
#include "tst_decode.moc"
