#pragma once

namespace kestrova::net {

// Initialises libcurl once per process before the first handle is made.
// Safe to call from any thread, any number of times.
void EnsureCurlInitialised();

} // namespace kestrova::net
