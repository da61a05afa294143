#pragma once

#include "ChecksumListReader.h"

#include <chrono>
#include <functional>
#include <memory>
#include <QIODevice>

// Lines as they come, whether or not more have come yet.
class LineSource
{
public:
    enum class Got
    {
        Line,
        NotYet, // none within the wait; more may come
        End,
    };
    virtual ~LineSource() = default;
    virtual Got next(ListLine& line, std::chrono::milliseconds wait) = 0;
};

// A list read on a thread of its own, so that a list served slowly holds back no verdict: its lines wait in a queue
// of bounded length for whoever takes them. The thread is never waited for; it owns the device and ends once the
// feed is gone and its read returns.
class LineFeed : public LineSource
{
public:
    // START runs the reading on a thread of the caller's (one that counts as ours and is never joined); false when
    // it has none to give, and the feed ends at once as a failed read.
    LineFeed(std::unique_ptr<QIODevice> device, ParserOptions options,
             const std::function<bool(std::function<void()>)>& start);
    ~LineFeed() override;
    LineFeed(const LineFeed&) = delete;
    LineFeed& operator=(const LineFeed&) = delete;

    Got next(ListLine& line, std::chrono::milliseconds wait) override;

    // After End: whether reading stopped on an error of the device, and its words.
    bool failed() const;
    QString errorString() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
