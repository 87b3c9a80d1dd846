#pragma once

namespace RTPS {

// One durable reader's connection to one durability server, as the reader's history loader
// drives it. DSVCClient is the engine's; a test puts a fake in its place.
class DSVCServerChannel {
public:
    virtual ~DSVCServerChannel() = default;

    // The key under which its messages reach the reader.
    virtual int socket() const = 0;
    // Starts its thread; messages may arrive from then on. False when it could not start.
    virtual bool start() = 0;
    // Tells the server that the reader needs nothing more.
    virtual void sendSTOP() = 0;
    // No message reaches the reader once this returns (a delivery in progress on another
    // thread is waited for; called from inside a delivery it just ends the later ones).
    virtual void stop() = 0;
    // After stop(): waits, within a bound, for its thread to end.
    virtual void join() = 0;
};

}  // namespace RTPS
