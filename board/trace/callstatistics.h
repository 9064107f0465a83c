#pragma once

#include "tracefunctions.h"

#include <array>
#include <cstdint>
#include <string>

namespace BoardTrace {

// Call durations in microseconds: exact up to ExactBuckets, then by powers of two.
class Durations
{
public:
    void add(std::uint64_t us);
    std::uint64_t calls() const { return count; }
    std::uint64_t min() const { return count ? smallest : 0; }
    std::uint64_t max() const { return largest; }
    // The lower bound of the bucket holding the middle call.
    std::uint64_t median() const;

private:
    static constexpr std::size_t ExactBuckets = 4096;
    static constexpr std::size_t OctaveBuckets = 64;
    static std::size_t bucket(std::uint64_t us);

    std::array<std::uint32_t, ExactBuckets + OctaveBuckets> buckets {};
    std::uint64_t count = 0;
    std::uint64_t smallest = UINT64_MAX;
    std::uint64_t largest = 0;
};

// Each function's calls, non-zero results and times since the board was opened.
class CallStatistics
{
public:
    void add(Id id, std::uint64_t us, bool failed);
    // The summary lines of the functions called, then all counts start again.
    std::string takeSummary();

private:
    std::array<Durations, FunctionCount> durations {};
    std::array<std::uint64_t, FunctionCount> failures {};
};

} // namespace BoardTrace
