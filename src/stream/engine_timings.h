#pragma once

#include <cstdint>

namespace kestrova::stream {

// Every wait and pause of the engine, in milliseconds. The defaults are what users get;
// tests shorten them so that time-out paths run in a fraction of a second.
struct EngineTimings {
    uint32_t connectTimeout = 30000; // a connect attempt is abandoned after this
    uint32_t connectSettle = 300;    // pause after the connect attempt starts
    uint32_t readTimeout = 60000;    // no data from the reader for this long: read failure
    uint32_t sessionStop = 70000;    // owner's wait for a session to finish
    uint32_t consumerStop = 8000;    // session's wait for its display path and audio thread
    uint32_t readerJoin = 2000;      // stop sequence's wait for the reader thread
    uint32_t stopPause = 1000;       // pause in the stop sequence before the queues are emptied
    uint32_t readerSettle = 300;     // pause after the reader thread starts
    uint32_t idleWait = 500;         // longest sleep of a consumer with nothing queued (a
                                     // frame or a stop request wakes it at once)
};

} // namespace kestrova::stream
