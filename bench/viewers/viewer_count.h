// The rules that decide how many simultaneous viewers a processor sustains: what one
// viewer's measurement window shows, when a step of N viewers holds, and the search over N.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace kestrova::bench {

// One viewer over one measurement window.
struct ViewerWindow {
    double fps = 0;              // pictures composed per second within the window
    std::size_t lost = 0;        // frames sent in time that were never composed
    std::vector<double> delayMs; // camera's last byte to composed picture, per frame
    bool ended = false;          // the engine ended the play
};

// A frame sent (camera's last byte) and, when it was composed, when; -1 when it never was.
struct FrameTiming {
    int64_t sentNs = -1;
    int64_t composedNs = -1;
};

// `frames`: every frame sent during the run. The window [fromNs, toNs] counts the
// pictures composed within it; a frame sent within it more than `graceNs` before its end
// that was never composed counts as lost.
ViewerWindow MeasureWindow(const std::vector<FrameTiming>& frames, int64_t fromNs, int64_t toNs,
                           int64_t graceNs);

struct StepLimits {
    double minFps = 29.5;
    // A viewer whose pictures lag the camera by more than three frame intervals is
    // living off its queue, not keeping up.
    double maxMedianDelayMs = 100;
};

struct StepVerdict {
    bool holds = false;
    double minFps = 0;
    std::size_t lost = 0;
    double worstMedianDelayMs = 0;
};

// A step holds when every viewer composed at least the minimum rate, lost no frame, kept
// playing and showed its pictures within the delay limit (median over the window).
StepVerdict Judge(const std::vector<ViewerWindow>& viewers, const StepLimits& limits);

// Finds the largest N that holds: about a fifth more viewers after every step that holds,
// and halving the gap once a step failed. A failed step is tried once more before it counts,
// since a shared machine can stall one run; a held step counts at once.
class ViewerSearch {
public:
    ViewerSearch(int first, int most);

    bool Done() const { return next_ <= largest_ || next_ >= failed_; }
    int Next() const { return next_; } // the N to try next (valid while !Done())
    void Record(int n, bool holds);
    // Moves the next try to a better guess, when that N is still open.
    void SkipTo(int n);
    int Largest() const { return largest_; } // 0 when none held
    int Steps() const { return steps_; }

private:
    int most_;
    int largest_ = 0; // the largest N that held
    int failed_;      // the smallest N that failed for good (most + 1 while none did)
    int next_;
    int steps_ = 0;
    std::map<int, int> failures_;
};

} // namespace kestrova::bench
