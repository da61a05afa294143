#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <QtGlobal>

// The speed of a reading from its recent past alone: bytes over the last few seconds, so that a phase that read
// nothing (a list being read, a mount waking up) neither drags the first estimate down nor lingers in later ones,
// and a reading that stops shows it within seconds instead of an ever older average.
class ReadRate
{
public:
    using Milliseconds = std::chrono::milliseconds;
    static constexpr Milliseconds kWindow{3000};
    // A reading without progress for this long is said to have none.
    static constexpr Milliseconds kStall{3000};
    // The shortest span a rate is taken over: a first block is no speed yet.
    static constexpr Milliseconds kShortestSpan{500};

    // A new reading, BYTES already done.
    void restart(Milliseconds now, quint64 bytes = 0);
    // The bytes done so far, as seen NOW; bytes never go back.
    void sample(Milliseconds now, quint64 bytes);
    // Something other than bytes moved (an entry answered, the total learnt): not a stall. Before the first byte,
    // the rate starts from here.
    void noteActivity(Milliseconds now);

    // Over the recent window; 0 while unknown.
    double bytesPerSecond() const;
    // How long nothing has moved, once it is at least kStall.
    std::optional<Milliseconds> stalledFor(Milliseconds now) const;

private:
    struct Sample
    {
        Milliseconds at;
        quint64 bytes;
    };
    std::deque<Sample> m_samples;
    Milliseconds m_lastActivity{0};
    bool m_progressed = false;
};
