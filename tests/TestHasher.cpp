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

    // CRC-32C: the check value of RFC 3720's polynomial, and its all-zero and all-one test blocks (B.4).
    QTest::newRow("crc32c check") << HashAlgorithm::Crc32c << QByteArray("123456789") << QByteArray("e3069283");
    QTest::newRow("crc32c empty") << HashAlgorithm::Crc32c << QByteArray() << QByteArray("00000000");
    QTest::newRow("crc32c 32 zeros") << HashAlgorithm::Crc32c << QByteArray(32, '\0') << QByteArray("8a9136aa");
    QTest::newRow("crc32c 32 ones") << HashAlgorithm::Crc32c << QByteArray(32, '\xff') << QByteArray("62a8ab43");

    // xxHash's reference values: the canonical, big-endian forms its own tool prints.
    QTest::newRow("xxh32 empty") << HashAlgorithm::Xxh32 << QByteArray() << QByteArray("02cc5d05");
    QTest::newRow("xxh32 abc") << HashAlgorithm::Xxh32 << QByteArray("abc") << QByteArray("32d153ff");
    QTest::newRow("xxh64 empty") << HashAlgorithm::Xxh64 << QByteArray() << QByteArray("ef46db3751d8e999");
    QTest::newRow("xxh64 abc") << HashAlgorithm::Xxh64 << QByteArray("abc") << QByteArray("44bc2cf5ad770999");
    QTest::newRow("xxh3 empty") << HashAlgorithm::Xxh3 << QByteArray() << QByteArray("2d06800538d394c2");
    QTest::newRow("xxh3 abc") << HashAlgorithm::Xxh3 << QByteArray("abc") << QByteArray("78af5f94892f3950");
    QTest::newRow("xxh3 million a") << HashAlgorithm::Xxh3 << millionA << QByteArray("b1fd6fae5285c4eb");
    QTest::newRow("xxh128 empty") << HashAlgorithm::Xxh128 << QByteArray()
                                  << QByteArray("99aa06d3014798d86001c324468d497f");
    QTest::newRow("xxh128 abc") << HashAlgorithm::Xxh128 << QByteArray("abc")
                                << QByteArray("06b05ab6733a618578af5f94892f3950");
    QTest::newRow("xxh128 million a") << HashAlgorithm::Xxh128 << millionA
                                      << QByteArray("a545df8e384a9579b1fd6fae5285c4eb");

    // BLAKE3's own test vectors; a million bytes span many of its 1 KiB chunks and several levels of its tree.
    QTest::newRow("blake3 empty") << HashAlgorithm::Blake3 << QByteArray()
                                  << QByteArray("af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262");
    QTest::newRow("blake3 abc") << HashAlgorithm::Blake3 << QByteArray("abc")
                                << QByteArray("6437b3ac38465133ffb63b75273a8db548c558465d79db03fd359c6cd5bd9d85");
    QTest::newRow("blake3 million a") << HashAlgorithm::Blake3 << millionA
                                      << QByteArray("616f575a1b58d4c9797d4217b9730ae5e6eb319d76edef6549b46f4efe31ff8b");

    // BLAKE2b at other lengths (Python's hashlib, digest_size): the length is in the parameter block, so none of
    // them is a cut BLAKE2b-512, and the shortest and longest lengths are each their own computation.
    const auto blake2b = [](std::size_t bits) { return *algorithmOfLength(HashAlgorithm::Blake2b, bits / 8); };
    QTest::newRow("blake2b-8 abc") << blake2b(8) << QByteArray("abc") << QByteArray("6b");
    QTest::newRow("blake2b-128 abc") << blake2b(128) << QByteArray("abc")
                                     << QByteArray("cf4ab791c62b8d2b2109c90275287816");
    QTest::newRow("blake2b-160 abc") << blake2b(160) << QByteArray("abc")
                                     << QByteArray("384264f676f39536840523f284921cdc68b6846b");
    QTest::newRow("blake2b-160 empty") << blake2b(160) << QByteArray()
                                       << QByteArray("3345524abf6bbe1809449224b5972c41790b6cf2");
    QTest::newRow("blake2b-256 abc") << blake2b(256) << QByteArray("abc")
                                     << QByteArray("bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319");
    QTest::newRow("blake2b-256 million a")
        << blake2b(256) << millionA << QByteArray("0741850f36cba4259628355d1073e24ddb9ca0e1bfac36fd39ae5dc2101e23a4");
    QTest::newRow("blake2b-384 abc") << blake2b(384) << QByteArray("abc")
                                     << QByteArray(
                                            "6f56a82c8e7ef526dfe182eb5212f7db9df1317e57815dbda46083fc30f54ee6c66b"
                                            "a83be64b302d7cba6ce15bb556f4");
    QTest::newRow("blake2b-504 abc") << blake2b(504) << QByteArray("abc")
                                     << QByteArray(
                                            "eb5324bb0b0f9ca27381f22f5e49604d7c341b77371fe5bf61fb643c8ab481c7555e"
                                            "f17c9b9e7c92f0daafff6c0d748cab97d2b267bf53f8225c173ea26f3e");

    // BLAKE3's output read to other lengths (b3sum --length): a prefix of the longer output, past its 32 bytes too.
    const auto blake3 = [](std::size_t bytes) { return *algorithmOfLength(HashAlgorithm::Blake3, bytes); };
    QTest::newRow("blake3-8 abc") << blake3(1) << QByteArray("abc") << QByteArray("64");
    QTest::newRow("blake3-128 abc") << blake3(16) << QByteArray("abc")
                                    << QByteArray("6437b3ac38465133ffb63b75273a8db5");
    QTest::newRow("blake3-512 abc") << blake3(64) << QByteArray("abc")
                                    << QByteArray("6437b3ac38465133ffb63b75273a8db548c558465d79db03fd359c6cd5bd9d851fb2"
                                                  "50ae7393f5d02813b65d521a0d492d9ba09cf7ce7f4cffd900f23374bf0b");
    QTest::newRow("blake3-512 million a")
        << blake3(64) << millionA
        << QByteArray("616f575a1b58d4c9797d4217b9730ae5e6eb319d76edef6549b46f4efe31ff8b7b5b4203a06b18dbf8fac912a577c4c4"
                      "7692a1535d83f99f199271e129cb0d6f");
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
    for (const AlgorithmInfo& info : kAlgorithms) {
        QTest::newRow(info.name.data()) << info.algorithm;
    }
    for (const std::size_t bytes : {1, 20, 48, 63}) {
        QTest::addRow("blake2b-%zu", bytes * 8) << *algorithmOfLength(HashAlgorithm::Blake2b, bytes);
    }
    QTest::newRow("blake3-512") << *algorithmOfLength(HashAlgorithm::Blake3, 64);
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
    // Small files reuse one hasher: a restart must forget everything fed before.
    if (hasher->restart()) {
        QVERIFY(hasher->addData(bytesOf("abc")));
        QCOMPARE(hasher->result().value_or("<refused>").toHex(), digestHex(algorithm, "abc"));
    }
}

QTEST_APPLESS_MAIN(TestHasher)
#include "TestHasher.moc"
