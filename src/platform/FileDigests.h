#pragma once

#include "Algorithms.h"
#include "DigestFailure.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

// A value for each algorithm key, indexed like an array, holding only the keys given one: a file's answer moves from
// thread to thread for every file, and of the many keys (each length of BLAKE2b and BLAKE3) a read uses a few.
template <typename Value> class PerAlgorithm
{
public:
    Value& operator[](std::size_t key)
    {
        for (Entry& entry : m_entries) {
            if (entry.key == key) {
                return entry.value;
            }
        }
        m_entries.push_back(Entry{key, Value()});
        return m_entries.back().value;
    }
    // An empty value for a key never given one.
    const Value& operator[](std::size_t key) const
    {
        for (const Entry& entry : m_entries) {
            if (entry.key == key) {
                return entry.value;
            }
        }
        static const Value kNone;
        return kNone;
    }

    // The values given, in the order given.
    auto begin() const { return ValueIterator{m_entries.begin()}; }
    auto end() const { return ValueIterator{m_entries.end()}; }

    // Equal when every key has the same value, an empty one where a side has none.
    friend bool operator==(const PerAlgorithm& a, const PerAlgorithm& b)
    {
        const auto within = [](const PerAlgorithm& some, const PerAlgorithm& other) {
            for (const Entry& entry : some.m_entries) {
                if (!(other[entry.key] == entry.value)) {
                    return false;
                }
            }
            return true;
        };
        return within(a, b) && within(b, a);
    }

private:
    struct Entry
    {
        std::size_t key;
        Value value;
    };
    // A vector: copies of Qt 6.4.2's QVarLengthArray that had outgrown their inline room leaked under the sanitizer.
    using Entries = std::vector<Entry>;
    struct ValueIterator
    {
        typename Entries::const_iterator at;
        const Value& operator*() const { return at->value; }
        ValueIterator& operator++()
        {
            ++at;
            return *this;
        }
        bool operator!=(const ValueIterator& other) const { return at != other.at; }
    };
    Entries m_entries;
};

// One file's answer from one read: every requested digest, or the kind of failure and the system's words for it.
// Ok always carries a digest for every requested algorithm the library did not refuse.
struct FileDigests
{
    DigestFailure failure = DigestFailure::ReadError;
    QString reason; // the system's or the library's words: "No such file or directory", "Is a directory"
    PerAlgorithm<QByteArray> digests; // raw bytes; empty where not requested or refused
    PerAlgorithm<QString> refusals;   // the library's reason where it refused that digest
    quint64 bytesRead = 0;
    int systemError = 0; // the system's error number where opening failed: ENOENT and ENOTDIR are both Missing

    bool isOk() const { return failure == DigestFailure::None; }
    const QByteArray& digest(HashAlgorithm algorithm) const { return digests[indexOf(algorithm)]; }
};
