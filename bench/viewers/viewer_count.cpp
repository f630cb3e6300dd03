#include "viewers/viewer_count.h"

#include <algorithm>

namespace kestrova::bench {

ViewerWindow MeasureWindow(const std::vector<FrameTiming>& frames, int64_t fromNs, int64_t toNs,
                           int64_t graceNs) {
    ViewerWindow w;
    std::size_t composed = 0;
    for (const FrameTiming& f : frames) {
        if (f.composedNs >= fromNs && f.composedNs <= toNs) {
            ++composed;
            if (f.sentNs >= 0)
                w.delayMs.push_back(static_cast<double>(f.composedNs - f.sentNs) / 1e6);
        }
        if (f.sentNs >= fromNs && f.sentNs <= toNs - graceNs && f.composedNs < 0)
            ++w.lost;
    }
    if (toNs > fromNs)
        w.fps = static_cast<double>(composed) * 1e9 / static_cast<double>(toNs - fromNs);
    return w;
}

namespace {

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), middle, v.end());
    return *middle;
}

} // namespace

StepVerdict Judge(const std::vector<ViewerWindow>& viewers, const StepLimits& limits) {
    StepVerdict v;
    if (viewers.empty())
        return v;
    v.holds = true;
    v.minFps = viewers.front().fps;
    for (const ViewerWindow& w : viewers) {
        const double delay = Median(w.delayMs);
        v.minFps = std::min(v.minFps, w.fps);
        v.lost += w.lost;
        v.worstMedianDelayMs = std::max(v.worstMedianDelayMs, delay);
        if (w.fps < limits.minFps || w.lost > 0 || w.ended || delay > limits.maxMedianDelayMs)
            v.holds = false;
    }
    return v;
}

ViewerSearch::ViewerSearch(int first, int most)
    : most_(std::max(1, most)), failed_(most_ + 1), next_(std::clamp(first, 1, most_)) {}

void ViewerSearch::Record(int n, bool holds) {
    ++steps_;
    if (holds) {
        largest_ = std::max(largest_, n);
    } else if (++failures_[n] < 2) {
        next_ = n; // try once more
        return;
    } else {
        failed_ = std::min(failed_, n);
    }
    if (largest_ >= most_)
        next_ = most_ + 1; // done: nothing above the cap is tried
    else if (failed_ > most_)
        next_ = std::min(most_, largest_ + std::max(1, largest_ / 5)); // no limit seen: ramp up
    else
        next_ = largest_ + (failed_ - largest_) / 2; // equals largest_ once settled
}

void ViewerSearch::SkipTo(int n) {
    if (n > largest_ && n < failed_)
        next_ = n;
}

} // namespace kestrova::bench
