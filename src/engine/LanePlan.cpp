#include "LanePlan.h"

#include "Hasher.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <QStringList>
#include <tuple>

namespace {

// Beyond this many assignments to try, the greedy plan: ten digests on four cores would be a million.
constexpr double kMostAssignmentsTried = 4096;

struct Assignment
{
    std::vector<std::size_t> laneOf; // per digest
    double busiest = 0;
    std::size_t used = 0;
    double spread = 0; // sum of squares: among plans as fast and as lean, the most even leaves the most room
};

Assignment scored(std::vector<std::size_t> laneOf, const std::vector<double>& work, std::size_t lanes)
{
    std::vector<double> load(lanes, 0.0);
    std::vector<bool> taken(lanes, false);
    for (std::size_t digest = 0; digest < laneOf.size(); ++digest) {
        load[laneOf[digest]] += work[digest];
        taken[laneOf[digest]] = true;
    }
    Assignment result{std::move(laneOf), *std::max_element(load.begin(), load.end()),
                      static_cast<std::size_t>(std::count(taken.begin(), taken.end(), true)), 0};
    for (double laneWork : load) {
        result.spread += laneWork * laneWork;
    }
    return result;
}

bool better(const Assignment& a, const Assignment& b)
{
    return std::tie(a.busiest, a.used, a.spread) < std::tie(b.busiest, b.used, b.spread);
}

Assignment tryEvery(const std::vector<double>& work, std::size_t lanes)
{
    std::vector<std::size_t> laneOf(work.size(), 0);
    Assignment best = scored(laneOf, work, lanes);
    for (;;) {
        std::size_t digit = 0;
        while (digit < laneOf.size() && ++laneOf[digit] == lanes) {
            laneOf[digit++] = 0;
        }
        if (digit == laneOf.size()) {
            return best;
        }
        if (Assignment candidate = scored(laneOf, work, lanes); better(candidate, best)) {
            best = std::move(candidate);
        }
    }
}

// Longest processing time first: within 4/3 of the best, and the digests are few and lopsided enough that it is
// usually exact.
Assignment largestFirst(const std::vector<double>& work, std::size_t lanes)
{
    std::vector<std::size_t> order(work.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return work[a] > work[b]; });
    std::vector<double> load(lanes, 0.0);
    std::vector<std::size_t> laneOf(work.size(), 0);
    for (std::size_t digest : order) {
        const auto lightest = static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
        laneOf[digest] = lightest;
        load[lightest] += work[digest];
    }
    return scored(std::move(laneOf), work, lanes);
}

double secondsPerByte(HashAlgorithm algorithm)
{
    constexpr std::size_t kSampleBytes = std::size_t{1} << 18;
    static const std::vector<std::byte> sample = [] {
        std::vector<std::byte> bytes(kSampleBytes);
        std::uint32_t state = 2463534242u;
        for (std::byte& value : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            value = static_cast<std::byte>(state & 0xffu);
        }
        return bytes;
    }();
    QString ignored;
    double fastest = 0;
    // Best of three: a slow round tells of other work on the machine, not of the digest.
    for (int round = 0; round < 3; ++round) {
        const std::unique_ptr<Hasher> hasher = Hasher::create(algorithm, &ignored);
        if (!hasher) {
            return 0; // a digest the library refuses fails on its own; its cost does not matter
        }
        const auto start = std::chrono::steady_clock::now();
        const bool fed = hasher->addData(sample);
        const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!fed) {
            return 0;
        }
        fastest = round == 0 ? elapsed : std::min(fastest, elapsed);
    }
    return fastest / static_cast<double>(kSampleBytes);
}

} // namespace

LanePlan planLanes(const AlgorithmSet& algorithms, const DigestCosts& costs, int maxLanes)
{
    std::vector<HashAlgorithm> digests;
    std::vector<double> work;
    algorithms.forEach([&](HashAlgorithm algorithm) {
        digests.push_back(algorithm);
        work.push_back(costs[indexOf(algorithm)]);
    });
    if (digests.empty()) {
        return {};
    }
    const auto lanes = static_cast<std::size_t>(std::clamp(maxLanes, 1, static_cast<int>(digests.size())));
    double assignments = 1;
    for (std::size_t i = 0; i < digests.size(); ++i) {
        assignments *= static_cast<double>(lanes);
    }
    const Assignment best = assignments <= kMostAssignmentsTried ? tryEvery(work, lanes) : largestFirst(work, lanes);

    LanePlan plan(lanes);
    for (std::size_t digest = 0; digest < digests.size(); ++digest) {
        plan[best.laneOf[digest]].push_back(digests[digest]);
    }
    std::erase_if(plan, [](const std::vector<HashAlgorithm>& lane) { return lane.empty(); });
    return plan;
}

DigestCosts measuredDigestCosts(const AlgorithmSet& algorithms)
{
    static std::mutex mutex;
    static DigestCosts known{};
    static AlgorithmSet measured;
    std::lock_guard lock(mutex);
    algorithms.forEach([&](HashAlgorithm algorithm) {
        if (!measured.contains(algorithm)) {
            known[indexOf(algorithm)] = secondsPerByte(algorithm);
            measured.insert(algorithm);
        }
    });
    return known;
}

QString describeLanes(const LanePlan& plan)
{
    QStringList lanes;
    for (const auto& lane : plan) {
        QStringList names;
        for (HashAlgorithm algorithm : lane) {
            names.append(algorithmName(algorithm));
        }
        names.sort();
        lanes.append(names.join(QStringLiteral(", ")));
    }
    lanes.sort();
    return lanes.join(QStringLiteral(" | "));
}

LanePlan fittedLanePlan(const AlgorithmSet& algorithms, int maxLanes)
{
    return planLanes(algorithms, measuredDigestCosts(algorithms), maxLanes);
}
