#include "LiveWorker.h"

#include <atomic>

namespace {

std::atomic<int> g_liveWorkers{0};

} // namespace

LiveWorker::LiveWorker()
{
    g_liveWorkers.fetch_add(1);
}

LiveWorker::~LiveWorker()
{
    g_liveWorkers.fetch_sub(1);
}

int LiveWorker::count()
{
    return g_liveWorkers.load();
}
