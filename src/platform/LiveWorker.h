#pragma once

// Counts a worker thread of ours (facts, digests, a check, the bulletin reminder) from before it starts until it has
// let go of everything it holds. Abandoned workers count too: the process must not tear down what they use, and ends
// at once instead of waiting for them.
class LiveWorker
{
public:
    LiveWorker();
    ~LiveWorker();
    LiveWorker(const LiveWorker&) = delete;
    LiveWorker& operator=(const LiveWorker&) = delete;

    static int count();
};
