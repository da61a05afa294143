#include "Progress.h"

#include <limits>
#include <QTest>

// The byte counts of keswin-sum's progress line, around the unit steps and past what 32 bits hold.
class TestByteCounts : public QObject
{
    Q_OBJECT

private slots:
    void byteCountText_data();
    void byteCountText();
};

void TestByteCounts::byteCountText_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QByteArray>("text");
    const quint64 gib = quint64{1} << 30;
    const std::pair<quint64, const char*> rows[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KiB"},
        {1536, "1.5 KiB"},
        {1024 * 1024 - 1, "1024.0 KiB"}, // 1023.999 KiB rounds up, in the unit it was counted in
        {4 * gib - 1, "4.0 GiB"},
        {4 * gib, "4.0 GiB"},
        {4 * gib + 4099, "4.0 GiB"},
        {5 * gib + gib / 2, "5.5 GiB"},
        {quint64{1} << 40, "1.0 TiB"},
        {quint64{1} << 50, "1.0 PiB"},
        {quint64{1} << 60, "1024.0 PiB"}, // no unit past PiB
        {std::numeric_limits<quint64>::max(), "16384.0 PiB"},
    };
    for (const auto& [bytes, text] : rows) {
        QTest::addRow("%llu", static_cast<unsigned long long>(bytes)) << bytes << QByteArray(text);
    }
}

void TestByteCounts::byteCountText()
{
    QFETCH(quint64, bytes);
    QFETCH(QByteArray, text);
    QCOMPARE(::byteCountText(bytes), text);
}

QTEST_GUILESS_MAIN(TestByteCounts)
#include "TestByteCounts.moc"
