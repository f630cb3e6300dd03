#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <cstdint>

namespace kestrova::platform {

// Stream and decode threads report to a window by posting events. Qt hands a posted event
// to the window's thread under its own futex-based lock, which ThreadSanitizer cannot see
// because Qt is not built with it; it then reports the window's first read of the event as
// a race with the construction on the posting thread. Counting posts with a releasing
// increment and reading the count with an acquiring load on receipt states that hand-off
// in our own code, so the sanitizer keeps checking everything around it. Costs one atomic
// increment per post.
inline std::atomic<std::uint64_t> postedEventCount{0};

// Posts an event built on any thread; Qt takes ownership.
inline void PostEvent(QObject* receiver, QEvent* event) {
    postedEventCount.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(receiver, event);
}

// Called first in an event handler that may receive events from PostEvent.
inline void AcquirePostedEvents() {
    static_cast<void>(postedEventCount.load(std::memory_order_acquire));
}

} // namespace kestrova::platform
