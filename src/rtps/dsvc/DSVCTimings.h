#pragma once

namespace RTPS {

// The time limits of the DSVC link, in milliseconds. The defaults are the link's; a test gives
// shorter ones so that a time-out happens within the test.
struct DSVCTimings {
    // Longest single wait of a socket thread; a stop wakes it earlier.
    int waitSliceMs = 5000;
    // An accepted connection that sends no INIT in this time is closed without a report.
    int initWaitMs = 30000;
    // A client retries INIT this often while its connection is being made...
    int initRetryMs = 10;
    // ...and gives up (STOP to its reader) after this.
    int connectLimitMs = 10000;
    // A send that makes no progress for this long fails and shuts its connection down.
    int sendTimeoutMs = 5000;
    // How long the end of a reader waits for each of its client threads to end.
    int joinLimitMs = 5000;
};

}  // namespace RTPS
