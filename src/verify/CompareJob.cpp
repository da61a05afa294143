#include "CompareJob.h"

#include "CheckRun.h"
#include "ComparisonText.h"
#include "DigestAnswer.h"
#include "WatchedReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Fills buffer as far as the file goes: a short read is not the end.
qint64 fill(FileReader& reader, std::vector<std::byte>& buffer)
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const qint64 count = reader.read(std::span(buffer).subspan(filled));
        if (count < 0) {
            return -1;
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<qint64>(filled);
}

struct Side
{
    OpenedFile opened;
    std::unique_ptr<WatchedReader> reader;
    DigestFailure failure = DigestFailure::None;
    QString reason;
};

void fail(Side& side, DigestFailure failure, QString reason)
{
    side.failure = failure;
    side.reason = std::move(reason);
}

Side openSide(const FileOpener& opener, const QByteArray& path)
{
    Side side;
    side.opened = opener(path);
    if (!side.opened.reader) {
        fail(side, failureForSystemError(side.opened.systemError, side.opened.beingWritten), side.opened.error);
        return side;
    }
    side.reader = std::make_unique<WatchedReader>(std::move(side.opened.reader));
    return side;
}

DigestFailure readFailure(const WatchedReader& reader)
{
    return reader.changed()        ? DigestFailure::ChangedWhileRead
           : reader.beingWritten() ? DigestFailure::BeingWritten
                                   : DigestFailure::ReadError;
}

// The last look at a file after its part of the comparison: a change anywhere makes the answer worthless.
void lookAgain(Side& side)
{
    if (side.failure == DigestFailure::None && !side.reader->unchangedAtEnd()) {
        fail(side, readFailure(*side.reader), side.reader->errorString());
    }
}

RowAnswer answerFor(qsizetype row, const Side& side, const Side& other, const std::optional<Comparison>& comparison)
{
    RowAnswer answer;
    answer.row = row;
    if (side.failure != DigestFailure::None) {
        answer.state = stateForFailure(side.failure);
        answer.note = side.failure == DigestFailure::Cancelled ? QString() : side.reason;
    } else if (other.failure != DigestFailure::None || !comparison) {
        answer.state = other.failure == DigestFailure::Cancelled ? CheckState::Cancelled : CheckState::NotCompared;
    } else {
        answer.state = comparison->identical ? CheckState::Identical : CheckState::Different;
        answer.note = comparisonNote(*comparison, static_cast<int>(row));
    }
    return answer;
}

} // namespace

void compareJob(CheckRun& run, const QByteArray& first, const QByteArray& second, const FileOpener& opener,
                std::size_t blockSize)
{
    Side sides[2] = {openSide(opener, first), openSide(opener, second)};
    std::optional<Comparison> comparison;
    if (sides[0].reader && sides[1].reader) {
        Comparison found;
        found.firstSize = sides[0].reader->identity().size;
        found.secondSize = sides[1].reader->identity().size;
        const FileIdentity identities[2] = {sides[0].reader->identity(), sides[1].reader->identity()};
        // Itself, a hard link or a symbolic link to it: one file, whatever the names, and nothing to read.
        found.sameFile = identities[0].device == identities[1].device && identities[0].inode == identities[1].inode;
        Delivery sized;
        sized.totalBytes = found.sameFile ? 0 : static_cast<quint64>(found.firstSize + found.secondSize);
        run.post(std::move(sized));

        std::vector<std::byte> blocks[2] = {std::vector<std::byte>(blockSize), std::vector<std::byte>(blockSize)};
        quint64 offset = 0;
        bool decided = found.sameFile;
        found.identical = found.sameFile;
        while (!decided) {
            if (run.isCancelled()) {
                fail(sides[0], DigestFailure::Cancelled, {});
                fail(sides[1], DigestFailure::Cancelled, {});
                break;
            }
            qint64 counts[2] = {};
            for (int i = 0; i < 2; ++i) {
                counts[i] = fill(*sides[i].reader, blocks[i]);
                if (counts[i] < 0) {
                    fail(sides[i], readFailure(*sides[i].reader), sides[i].reader->errorString());
                }
            }
            if (counts[0] < 0 || counts[1] < 0) {
                break;
            }
            run.addBytes(static_cast<quint64>(counts[0] + counts[1]));
            const auto common = static_cast<std::size_t>(std::min(counts[0], counts[1]));
            const auto mismatch =
                std::mismatch(blocks[0].begin(), blocks[0].begin() + static_cast<qsizetype>(common), blocks[1].begin());
            const auto at = static_cast<quint64>(mismatch.first - blocks[0].begin());
            if (at < common || counts[0] != counts[1]) {
                found.firstDifference = offset + at;
                decided = true;
            } else if (counts[0] == 0) {
                found.identical = true;
                decided = true;
            }
            offset += common;
        }
        if (decided) {
            lookAgain(sides[0]);
            lookAgain(sides[1]);
            if (sides[0].failure == DigestFailure::None && sides[1].failure == DigestFailure::None) {
                comparison = found;
            }
        }
    }
    Delivery done;
    done.answers.push_back(answerFor(0, sides[0], sides[1], comparison));
    done.answers.push_back(answerFor(1, sides[1], sides[0], comparison));
    done.comparison = comparison;
    done.finished = true;
    run.post(std::move(done));
}
