#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <QByteArray>
#include <QString>

// Reads a fuzzer's bytes as a stream of small decisions; past the end every read is zero, so that any input, the
// empty one included, stands for exactly one case.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_at >= m_size; }

    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }

    // Up to `limit` bytes, their count taken from the next byte.
    QByteArray bytes(int limit = 255)
    {
        const int count = byte() % (limit + 1);
        QByteArray out;
        for (int i = 0; i < count && !atEnd(); ++i) {
            out.append(static_cast<char>(byte()));
        }
        return out;
    }

    // Any UTF-16 code units, two bytes each: NUL, CR, LF and lone surrogates included.
    QString codeUnits(int limit = 255)
    {
        const int count = byte() % (limit + 1);
        QString out;
        for (int i = 0; i < count && !atEnd(); ++i) {
            const int high = byte();
            out.append(QChar(static_cast<char16_t>(high << 8 | byte())));
        }
        return out;
    }

    // Whatever is left, as it is.
    QByteArray rest()
    {
        const QByteArray out(reinterpret_cast<const char*>(m_data + m_at), static_cast<qsizetype>(m_size - m_at));
        m_at = m_size;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A broken property: the fuzzer reports it as a crash and keeps the input that caused it.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
