#include "LanePlan.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <QStringList>
#include <QThread>
#include <tuple>

LanePlan planLanes(const DigestCosts& costs, int maxLanes)
{
    const std::size_t lanes =
        static_cast<std::size_t>(std::clamp(maxLanes, 1, static_cast<int>(kAllAlgorithms.size())));
    std::array<std::size_t, 4> assignment{};
    std::array<std::size_t, 4> best{};
    double bestBusiest = 0;
    std::size_t bestUsed = 0;
    double bestSpread = 0;
    bool found = false;
    // Every assignment of four digests to the lanes: at most 4^4, so trying them all is cheap and exact.
    for (;;) {
        std::vector<double> load(lanes, 0.0);
        std::vector<bool> taken(lanes, false);
        for (std::size_t digest = 0; digest < assignment.size(); ++digest) {
            load[assignment[digest]] += costs[static_cast<std::size_t>(kAllAlgorithms[digest])];
            taken[assignment[digest]] = true;
        }
        const double busiest = *std::max_element(load.begin(), load.end());
        const auto used = static_cast<std::size_t>(std::count(taken.begin(), taken.end(), true));
        // Sum of squares: among plans as fast and as lean, the most even one leaves the most room on every core.
        double spread = 0;
        for (double work : load) {
            spread += work * work;
        }
        if (!found || std::tie(busiest, used, spread) < std::tie(bestBusiest, bestUsed, bestSpread)) {
            found = true;
            best = assignment;
            bestBusiest = busiest;
            bestUsed = used;
            bestSpread = spread;
        }
        std::size_t digit = 0;
        while (digit < assignment.size() && ++assignment[digit] == lanes) {
            assignment[digit++] = 0;
        }
        if (digit == assignment.size()) {
            break;
        }
    }

    LanePlan plan(lanes);
    for (std::size_t digest = 0; digest < best.size(); ++digest) {
        plan[best[digest]].push_back(kAllAlgorithms[digest]);
    }
    std::erase_if(plan, [](const std::vector<HashAlgorithm>& lane) { return lane.empty(); });
    return plan;
}

DigestCosts measureDigestCosts()
{
    constexpr std::size_t kSampleBytes = std::size_t{1} << 20;
    std::vector<std::byte> sample(kSampleBytes);
    std::uint32_t state = 2463534242u;
    for (std::byte& value : sample) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        value = static_cast<std::byte>(state & 0xffu);
    }

    DigestCosts costs{};
    for (HashAlgorithm algorithm : kAllAlgorithms) {
        QString ignored;
        double fastest = 0;
        // Best of three: a slow round tells of other work on the machine, not of the digest.
        for (int round = 0; round < 3; ++round) {
            const std::unique_ptr<Hasher> hasher = Hasher::create(algorithm, &ignored);
            if (!hasher) {
                break; // a digest the library refuses fails on its own; its cost does not matter
            }
            const auto start = std::chrono::steady_clock::now();
            const bool fed = hasher->addData(sample);
            const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!fed) {
                break;
            }
            fastest = round == 0 ? elapsed : std::min(fastest, elapsed);
        }
        costs[static_cast<std::size_t>(algorithm)] = fastest / static_cast<double>(kSampleBytes);
    }
    return costs;
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

const LanePlan& fittedLanePlan()
{
    static const LanePlan plan = planLanes(measureDigestCosts(), QThread::idealThreadCount());
    return plan;
}
