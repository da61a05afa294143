#include "Hasher.h"

#include <QTest>

Q_DECLARE_METATYPE(HashAlgorithm)

namespace {

std::span<const std::byte> bytesOf(const QByteArray& data)
{
    return std::as_bytes(std::span(data.constData(), static_cast<std::size_t>(data.size())));
}

std::unique_ptr<Hasher> created(HashAlgorithm algorithm)
{
    QString error;
    auto hasher = Hasher::create(algorithm, &error);
    if (!hasher) {
        qFatal("cannot set up %s: %s", qPrintable(algorithmName(algorithm)), qPrintable(error));
    }
    return hasher;
}

QByteArray digestHex(HashAlgorithm algorithm, const QByteArray& message)
{
    auto hasher = created(algorithm);
    if (!hasher->addData(bytesOf(message))) {
        return "<refused>";
    }
    return hasher->result().value_or("<refused>").toHex();
}

} // namespace

class TestHasher : public QObject
{
    Q_OBJECT

private slots:
    void knownAnswers_data();
    void knownAnswers();
    void splitFeedingMatchesOneShot_data();
    void splitFeedingMatchesOneShot();
};

void TestHasher::knownAnswers_data()
{
    QTest::addColumn<HashAlgorithm>("algorithm");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray digits = "1234567890";
    const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz";
    const QByteArray alnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray fips448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const QByteArray millionA(1'000'000, 'a');

    // RFC 1321, appendix A.5.
    QTest::newRow("md5 empty") << HashAlgorithm::Md5 << QByteArray() << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("md5 a") << HashAlgorithm::Md5 << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("md5 abc") << HashAlgorithm::Md5 << QByteArray("abc")
                             << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("md5 message digest") << HashAlgorithm::Md5 << QByteArray("message digest")
                                        << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("md5 alphabet") << HashAlgorithm::Md5 << alphabet << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("md5 alnum") << HashAlgorithm::Md5 << alnum << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("md5 digits x8") << HashAlgorithm::Md5 << digits.repeated(8)
                                   << QByteArray("57edf4a22be3c955ac49da2e2107b67a");

    // FIPS 180 examples.
    QTest::newRow("sha1 abc") << HashAlgorithm::Sha1 << QByteArray("abc")
                              << QByteArray("a9993e364706816aba3e25717850c26c9cd0d89d");
    QTest::newRow("sha1 448 bits") << HashAlgorithm::Sha1 << fips448
                                   << QByteArray("84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    QTest::newRow("sha1 million a") << HashAlgorithm::Sha1 << millionA
                                    << QByteArray("34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    QTest::newRow("sha256 abc") << HashAlgorithm::Sha256 << QByteArray("abc")
                                << QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    QTest::newRow("sha256 448 bits") << HashAlgorithm::Sha256 << fips448
                                     << QByteArray("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    QTest::newRow("sha256 million a") << HashAlgorithm::Sha256 << millionA
                                      << QByteArray("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    QTest::newRow("sha256 empty") << HashAlgorithm::Sha256 << QByteArray()
                                  << QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    // The CRC-32 of zlib, gzip and PNG: check value, and leading zeros kept.
    QTest::newRow("crc32 check") << HashAlgorithm::Crc32 << QByteArray("123456789") << QByteArray("cbf43926");
    QTest::newRow("crc32 empty") << HashAlgorithm::Crc32 << QByteArray() << QByteArray("00000000");
    QTest::newRow("crc32 a") << HashAlgorithm::Crc32 << QByteArray("a") << QByteArray("e8b7be43");
    QTest::newRow("crc32 leading zero") << HashAlgorithm::Crc32 << QByteArray("ae") << QByteArray("00e7ddce");
}

void TestHasher::knownAnswers()
{
    QFETCH(HashAlgorithm, algorithm);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);
    QCOMPARE(digestHex(algorithm, message), expected);
}

void TestHasher::splitFeedingMatchesOneShot_data()
{
    QTest::addColumn<HashAlgorithm>("algorithm");
    QTest::newRow("crc32") << HashAlgorithm::Crc32;
    QTest::newRow("md5") << HashAlgorithm::Md5;
    QTest::newRow("sha1") << HashAlgorithm::Sha1;
    QTest::newRow("sha256") << HashAlgorithm::Sha256;
}

// Blocks arrive in arbitrary sizes, including empty ones; the digest must not depend on where they are cut.
void TestHasher::splitFeedingMatchesOneShot()
{
    QFETCH(HashAlgorithm, algorithm);
    QByteArray message;
    for (int i = 0; i < 5000; ++i) {
        message.append(static_cast<char>((i * 131 + 7) & 0xff));
    }
    auto hasher = created(algorithm);
    const auto bytes = bytesOf(message);
    std::size_t offset = 0;
    for (std::size_t step = 0; offset < bytes.size(); step = (step * 7 + 3) % 200) {
        const std::size_t length = std::min(step, bytes.size() - offset);
        QVERIFY(hasher->addData(bytes.subspan(offset, length)));
        offset += length;
    }
    QCOMPARE(hasher->result().value_or("<refused>").toHex(), digestHex(algorithm, message));
}

QTEST_APPLESS_MAIN(TestHasher)
#include "TestHasher.moc"
