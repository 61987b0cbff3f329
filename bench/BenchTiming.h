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

// The p-th fraction (0..1) of the samples, nearest rank; 0 without samples.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}
