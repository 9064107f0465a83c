#pragma once

// The median time of one repeat of some work, over 21 samples.

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace BenchTiming {

template<typename Work>
double medianMicroseconds(int repeatsPerSample, Work work)
{
    constexpr int Samples = 21;
    std::vector<double> perRepeat;
    for (int sample = 0; sample < Samples; ++sample) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < repeatsPerSample; ++i)
            work();
        perRepeat.push_back(double(timer.nsecsElapsed()) / 1000.0 / repeatsPerSample);
    }
    std::sort(perRepeat.begin(), perRepeat.end());
    return perRepeat[perRepeat.size() / 2];
}

} // namespace BenchTiming
