#include "engine/CTRData.h"
#include <QtTest>
class TestDecode : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() { CTRData d; QVERIFY(!d.Decode("", 0)); }
};
QTEST_GUILESS_MAIN(TestDecode)
#include "tst_decode.moc"
