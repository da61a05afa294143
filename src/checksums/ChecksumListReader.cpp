#include "ChecksumListReader.h"

#include <QIODevice>

namespace {
constexpr qint64 kBlockSize = 64 * 1024;
}

ChecksumListReader::ChecksumListReader(QIODevice& device, ParserOptions options, qsizetype lineLimit)
    : m_device(device), m_parser(options), m_lineLimit(lineLimit)
{}

bool ChecksumListReader::fill()
{
    if (m_atEnd) {
        return false;
    }
    m_block.remove(0, m_at);
    m_at = 0;
    const qsizetype had = m_block.size();
    m_block.resize(had + kBlockSize);
    const qint64 got = m_device.read(m_block.data() + had, kBlockSize);
    m_block.resize(had + std::max<qint64>(got, 0));
    if (got < 0) {
        m_failed = true;
        m_error = m_device.errorString();
    }
    if (got <= 0) {
        m_atEnd = true;
        return false;
    }
    return true;
}

bool ChecksumListReader::nextRaw(QByteArray& line, bool& overlong)
{
    overlong = false;
    qsizetype searched = 0;
    for (;;) {
        const qsizetype end = m_block.indexOf('\n', m_at + searched);
        if (end >= 0) {
            // The limit holds wherever the line's end falls among the blocks read.
            overlong = overlong || end - m_at > m_lineLimit;
            if (!overlong) {
                line = m_block.mid(m_at, end - m_at);
            }
            m_at = end + 1;
            return true;
        }
        if (m_block.size() - m_at > m_lineLimit) {
            // Too long to be a checksum line: drop what is held and skip to its end.
            overlong = true;
            m_at = m_block.size();
        }
        searched = m_block.size() - m_at;
        if (!fill()) {
            if (m_failed || (m_block.size() == m_at && !overlong)) {
                return false;
            }
            if (!overlong) {
                line = m_block.mid(m_at);
            }
            m_at = m_block.size();
            return true;
        }
    }
}

std::optional<ListLine> ChecksumListReader::next()
{
    QByteArray line;
    bool overlong = false;
    while (nextRaw(line, overlong)) {
        ++m_number;
        ParsedLine parsed = overlong ? ParsedLine{LineKind::Malformed, {}, {}} : m_parser.parse(line);
        if (parsed.kind == LineKind::Malformed) {
            LineTrouble trouble = overlong ? LineTrouble{LineTrouble::TooLong} : troubleOf(line, parsed);
            return ListLine{m_number, std::move(parsed), trouble};
        }
        if (parsed.kind != LineKind::Skipped) {
            return ListLine{m_number, std::move(parsed), {}};
        }
    }
    return std::nullopt;
}
