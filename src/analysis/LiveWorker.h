#pragma once

// Counts a worker of the analysis, facts or digests, from before its thread starts until it has let go of everything
// it holds. Abandoned workers count too: the process must not tear down what they use.
class LiveWorker
{
public:
    LiveWorker();
    ~LiveWorker();
    LiveWorker(const LiveWorker&) = delete;
    LiveWorker& operator=(const LiveWorker&) = delete;

    static int count();
};
