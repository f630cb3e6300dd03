#pragma once
// Host programs end only after Qt's pool threads have fully ended.
//
// When the application object goes, Qt's thread pool waits for its threads and deletes
// them as soon as their work loop returns; each OS thread still has to release its
// per-thread data afterwards. If the program's static data are torn down first, Qt has
// already dropped the hook that does that release, so the data stay behind and a leak
// checker at exit reports them. A host keeps this guard ahead of its QApplication: once
// the application is gone, the guard gives those threads a moment to end.
#include <chrono>

namespace kestrova::host {

// Waits until no thread of this process but the caller is one of Qt's pool threads, or
// until `limit` has passed. Returns whether they all ended.
bool WaitForPoolThreadsToEnd(std::chrono::milliseconds limit);

class PoolThreadsEndFirst {
public:
    PoolThreadsEndFirst() = default;
    PoolThreadsEndFirst(const PoolThreadsEndFirst&) = delete;
    PoolThreadsEndFirst& operator=(const PoolThreadsEndFirst&) = delete;
    ~PoolThreadsEndFirst() { WaitForPoolThreadsToEnd(std::chrono::seconds(1)); }
};

} // namespace kestrova::host
