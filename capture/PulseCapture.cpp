#include "capture/PulseCapture.h"

#include "capture/SourceFragment.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

// The main loop's lock for the length of a scope. libpulse's calls and the
// fields its callbacks touch are shared with the loop's thread.
struct PulseCapture::Lock {
    explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) {
        if (loop_ != nullptr) pa_threaded_mainloop_lock(loop_);
    }
    ~Lock() {
        if (loop_ != nullptr) pa_threaded_mainloop_unlock(loop_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    pa_threaded_mainloop* loop_;
};

std::uint32_t PulseCapture::FragmentBytes(std::uint32_t rate) {
    return SourceFragmentBytes(rate);
}

bool PulseCapture::RateSupported(std::uint32_t rate) {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, rate, 1};
    return pa_sample_spec_valid(&spec) != 0;
}

PulseCapture::PulseCapture() {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        failure_ = Failure::Other;
        return;
    }
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Quarl");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "example.kelvo_software.Quarl");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "example.kelvo_software.Quarl");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Quarl", props);
    pa_proplist_free(props);
    if (context_ == nullptr) {
        failure_ = Failure::Other;
        return;
    }
    pa_context_set_state_callback(context_, &PulseCapture::onContextState, this);
    // Never spawn a server: a desktop starts its own (socket activation),
    // and an analyser that starts one behind the user's back would record
    // from a server nobody configured. Without one, the open says so.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        setFailureLocked(pa_context_errno(context_));
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        failure_ = Failure::Other;
    }
}

PulseCapture::~PulseCapture() {
    if (loop_ == nullptr) return;
    {
        Lock lock(loop_);
        dropStreamLocked();
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    // Ends the loop's thread, which never waits for the server: it only
    // polls its sockets.
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

PulseCapture::Server PulseCapture::server() {
    if (context_ == nullptr) return Server::Failed;
    Lock lock(loop_);
    switch (pa_context_get_state(context_)) {
    case PA_CONTEXT_READY:
        return Server::Ready;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        return Server::Failed;
    default:
        return Server::Connecting;
    }
}

PulseCapture::Stream PulseCapture::stream() {
    Lock lock(loop_);
    if (stream_ == nullptr) {
        if (!streamWanted_) return Stream::None;
        return failure_ == Failure::None ? Stream::Connecting : Stream::Failed;
    }
    switch (pa_stream_get_state(stream_)) {
    case PA_STREAM_READY:
        return Stream::Ready;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        return Stream::Failed;
    default:
        return Stream::Connecting;
    }
}

PulseCapture::Failure PulseCapture::failure() {
    Lock lock(loop_);
    return failure_;
}

bool PulseCapture::openStream(std::uint32_t rate) {
    if (context_ == nullptr || !RateSupported(rate)) return false;
    Lock lock(loop_);
    dropStreamLocked();
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) return false;
    streamWanted_ = true;
    rate_ = rate;
    running_ = false;
    failure_ = Failure::None;
    if (state == PA_CONTEXT_READY) connectStreamLocked();
    return true;
}

void PulseCapture::run(bool on, std::uint32_t serial) {
    Lock lock(loop_);
    running_ = on;
    if (on) serial_ = serial;
    ring_.discardPartial();
    applyRunLocked();
}

void PulseCapture::closeStream() {
    Lock lock(loop_);
    dropStreamLocked();
}

void PulseCapture::connectStreamLocked() {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, rate_, 1};
    pa_channel_map mono;
    pa_channel_map_init_mono(&mono);
    stream_ = pa_stream_new(context_, "Sound input", &spec, &mono);
    if (stream_ == nullptr) {
        setFailureLocked(pa_context_errno(context_));
        return;
    }
    pa_stream_set_state_callback(stream_, &PulseCapture::onStreamState, this);
    pa_stream_set_read_callback(stream_, &PulseCapture::onRead, this);
    // The server hands over one fragment at a time and (with
    // ADJUST_LATENCY) runs its source at about that latency: the fragment
    // sets both the delay and how often this thread and the window wake.
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = FragmentBytes(rate_);
    // No source name and no DONT_MOVE: the default source, and the next one
    // when the user changes it.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(stream_, nullptr, &attr, flags) < 0)
        setFailureLocked(pa_context_errno(context_));
}

void PulseCapture::dropStreamLocked() {
    streamWanted_ = false;
    running_ = false;
    ring_.discardPartial();
    if (stream_ == nullptr) return;
    // No callback of this stream runs after this: its blocks stop here.
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (pa_stream_get_state(stream_) == PA_STREAM_READY ||
        pa_stream_get_state(stream_) == PA_STREAM_CREATING)
        pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseCapture::applyRunLocked() {
    if (stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    if (pa_stream_is_corked(stream_) == (running_ ? 0 : 1)) return;
    if (pa_operation* op = pa_stream_cork(stream_, running_ ? 0 : 1, nullptr, nullptr))
        pa_operation_unref(op);
}

void PulseCapture::setFailureLocked(int paError) {
    switch (paError) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_INVALIDSERVER:
        failure_ = everConnected_ ? Failure::ServerGone : Failure::NoServer;
        break;
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_KILLED:
        failure_ = Failure::ServerGone;
        break;
    case PA_ERR_NOENTITY:
        failure_ = Failure::NoSource;
        break;
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_INVALID:
        failure_ = Failure::BadFormat;
        break;
    default:
        failure_ = everConnected_ ? Failure::ServerGone : Failure::Other;
        break;
    }
}

// ---- on the loop's thread, with its lock held

void PulseCapture::onContextState(pa_context* c, void* self) {
    auto* me = static_cast<PulseCapture*>(self);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
        me->everConnected_ = true;
        if (me->streamWanted_ && me->stream_ == nullptr) me->connectStreamLocked();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        me->setFailureLocked(pa_context_errno(c));
        break;
    default:
        return; // still connecting: nothing to tell
    }
    me->ring_.wake();
}

void PulseCapture::onStreamState(pa_stream* s, void* self) {
    auto* me = static_cast<PulseCapture*>(self);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        me->applyRunLocked();
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        me->setFailureLocked(pa_context_errno(pa_stream_get_context(s)));
        break;
    default:
        return;
    }
    me->ring_.wake();
}

void PulseCapture::onRead(pa_stream* s, std::size_t, void* self) {
    auto* me = static_cast<PulseCapture*>(self);
    bool news = false;
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) break;
        if (!me->running_) {
            // Sound that was on its way when the stream was stopped.
        } else if (data == nullptr) {
            // The server dropped sound (a hole in the stream): the client
            // fell behind or the server did.
            me->ring_.skip(bytes);
            news = true;
        } else {
            news = me->ring_.write(data, bytes, me->serial_) > 0 || news;
        }
        pa_stream_drop(s);
    }
    // One wake for all the blocks of this fragment: the window takes them in
    // one go and shows its picture once.
    if (news) me->ring_.wake();
}
