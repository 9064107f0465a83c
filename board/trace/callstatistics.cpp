#include "callstatistics.h"

#include <algorithm>

namespace BoardTrace {

void Durations::add(std::uint64_t us)
{
    ++buckets[bucket(us)];
    ++count;
    smallest = std::min(smallest, us);
    largest = std::max(largest, us);
}

std::uint64_t Durations::median() const
{
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        seen += buckets[i];
        if (seen * 2 > count)
            return i < ExactBuckets ? i : std::uint64_t(ExactBuckets) << (i - ExactBuckets);
    }
    return largest;
}

std::size_t Durations::bucket(std::uint64_t us)
{
    if (us < ExactBuckets)
        return std::size_t(us);
    std::size_t octave = 0;
    for (std::uint64_t v = us / ExactBuckets; v > 1; v >>= 1)
        ++octave;
    return ExactBuckets + std::min(octave, OctaveBuckets - 1);
}

void CallStatistics::add(Id id, std::uint64_t us, bool failed)
{
    durations[int(id)].add(us);
    if (failed)
        ++failures[int(id)];
}

std::string CallStatistics::takeSummary()
{
    std::string text = "# summary\tfunction\tcalls\tnon-zero results\tmin_us\tmedian_us\tmax_us\n";
    for (int i = 0; i < FunctionCount; ++i) {
        const Durations &d = durations[i];
        if (d.calls() == 0)
            continue;
        text += "# summary\t" + std::string(functions[i].name) + '\t' + std::to_string(d.calls()) + '\t'
            + std::to_string(failures[i]) + '\t' + std::to_string(d.min()) + '\t' + std::to_string(d.median())
            + '\t' + std::to_string(d.max()) + '\n';
    }
    durations = {};
    failures = {};
    return text;
}

} // namespace BoardTrace
