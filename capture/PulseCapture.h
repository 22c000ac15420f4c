// One client of the sound server through libpulse's asynchronous API: a
// connection, at most one record stream, and the thread of libpulse's
// threaded main loop that runs their callbacks. Both PulseAudio and
// PipeWire's pulse server (pipewire-pulse) serve it.
//
// The stream is connected without a source name, so the server records from
// the default source the user chose (a monitor source included) and moves
// the stream when the user chooses another one. Captured sound goes into the
// block ring, whose eventfd also wakes the reader when the connection or the
// stream changes state.
//
// Every call below is made from one thread (the window's) and returns at
// once: requests go to the server without waiting for its answer, which
// arrives later as a state to look at. The calls take the main loop's lock,
// which the loop's thread holds only while it runs a callback (microseconds),
// never while it waits for the server.
//
// No Qt here: the class and its threads are tested on their own, also under
// ThreadSanitizer.
#pragma once

#include "capture/BlockRing.h"

#include <cstdint>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

class PulseCapture {
public:
    enum class Server { Connecting, Ready, Failed };
    enum class Stream { None, Connecting, Ready, Failed };
    // Why the connection or the stream failed, as far as libpulse tells.
    enum class Failure { None, NoServer, ServerGone, NoSource, BadFormat, Other };

    // Starts the loop's thread and the connection to the server (the one
    // libpulse's configuration names; a server is never spawned).
    PulseCapture();
    // Stops the thread after dropping the stream and the connection; waits
    // for nothing the server does.
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    BlockRing& ring() { return ring_; }

    Server server();
    Stream stream();
    // The reason of the last failure of the connection or the stream.
    Failure failure();

    // Replaces any stream by a new one recording mono signed 16-bit sound at
    // `rate` samples/s, stopped (corked) until run(). If the connection is
    // not up yet, the stream is made as soon as it is. False when the rate is
    // out of the server's range or the connection has failed.
    bool openStream(std::uint32_t rate);
    // Starts (true) or stops the stream. From a start on, blocks are tagged
    // with `serial`; a stop throws away the block being gathered. Applied as
    // soon as the stream is ready.
    void run(bool on, std::uint32_t serial = 0);
    // Drops the stream; no block of it is written afterwards.
    void closeStream();

    // Whether the server takes mono 16-bit sound at `rate` samples/s (it
    // resamples any rate within its range).
    static bool RateSupported(std::uint32_t rate);
    // Bytes per fragment that the stream asks the server for at `rate`.
    static std::uint32_t FragmentBytes(std::uint32_t rate);

private:
    struct Lock;

    void connectStreamLocked();
    void dropStreamLocked();
    void applyRunLocked();
    void setFailureLocked(int paError);

    static void onContextState(pa_context* c, void* self);
    static void onStreamState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, std::size_t bytes, void* self);

    BlockRing ring_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    // Below: under the loop's lock.
    pa_stream* stream_ = nullptr;
    bool streamWanted_ = false; // openStream() ran; the stream follows the connection
    std::uint32_t rate_ = 0;
    bool running_ = false;
    std::uint32_t serial_ = 0;
    Failure failure_ = Failure::None;
    bool everConnected_ = false;
};
