#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

// The median time of one run of step(i), over rounds runs.
template <typename Step> double medianMicroseconds(int rounds, Step&& step) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> samples;
    samples.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        step(i);
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
