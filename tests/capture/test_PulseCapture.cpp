// The client of the sound server on its own, against the private server
// that scripts/test.sh starts (its default source plays 1000 Hz). No Qt: the
// test thread plays the window, waiting on the ring's eventfd.
#include "capture/PulseCapture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

template <typename Pred> bool waitFor(PulseCapture& c, Pred done, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return false;
        pollfd ready{c.ring().wakeFd(), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 50)));
        c.ring().clearWake();
    }
    return true;
}

// The tone's frequency from the zero crossings of one block.
double crossingsHz(const BlockRing::Block& block, std::uint32_t rate) {
    std::int16_t s[512];
    std::memcpy(s, block.bytes.data(), sizeof s);
    int crossings = 0;
    for (int i = 1; i < 512; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / 2.0 / (512.0 / rate);
}

void requireServer(PulseCapture& c) {
    waitFor(
        c, [&] { return c.server() != PulseCapture::Server::Connecting; }, 5000);
    if (c.server() != PulseCapture::Server::Ready) {
        if (std::getenv("CI") != nullptr) FAIL() << "no sound server: scripts/test.sh starts one";
        GTEST_SKIP() << "no sound server reachable (scripts/with-services.sh starts one)";
    }
}

} // namespace

// A stream at each of two rates records the default source's tone in whole
// blocks tagged with the run's serial; after a stop no block of that run
// comes, and a new run's blocks carry the new serial.
TEST(PulseCapture, RecordsTheDefaultSourceInTaggedBlocks) {
    PulseCapture c;
    requireServer(c);
    if (::testing::Test::IsSkipped() || ::testing::Test::HasFatalFailure()) return;
    for (std::uint32_t rate : {8000u, 48000u}) {
        ASSERT_TRUE(c.openStream(rate));
        ASSERT_TRUE(waitFor(
            c, [&] { return c.stream() != PulseCapture::Stream::Connecting; }, 5000));
        ASSERT_EQ(c.stream(), PulseCapture::Stream::Ready);
        c.run(true, rate);
        int blocks = 0;
        ASSERT_TRUE(waitFor(
            c,
            [&] {
                while (const BlockRing::Block* b = c.ring().front()) {
                    EXPECT_EQ(b->stream, rate);
                    // The first blocks may still hold the stream's start.
                    if (++blocks > 4) {
                        EXPECT_NEAR(crossingsHz(*b, rate), 1000.0, 40.0) << rate;
                    }
                    c.ring().pop();
                }
                return blocks >= 12;
            },
            5000))
            << rate << ": " << blocks << " blocks";
        c.run(false);
        c.closeStream();
        while (c.ring().front() != nullptr)
            c.ring().pop();
        waitFor(
            c, [] { return false; }, 200);
        EXPECT_EQ(c.ring().front(), nullptr) << "a block after the stream was closed";
        EXPECT_EQ(c.stream(), PulseCapture::Stream::None);
    }
    EXPECT_EQ(c.ring().lost(), 0u);
}

// No server where the configuration points: the connection fails at once,
// and no stream can be made; the client goes away without waiting.
TEST(PulseCapture, WithoutAServerTheConnectionFails) {
    const char* old = std::getenv("PULSE_SERVER");
    const std::string kept = old != nullptr ? old : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/quarl-test/native", 1);
    {
        PulseCapture c;
        EXPECT_TRUE(waitFor(
            c, [&] { return c.server() != PulseCapture::Server::Connecting; }, 5000));
        EXPECT_EQ(c.server(), PulseCapture::Server::Failed);
        EXPECT_EQ(c.failure(), PulseCapture::Failure::NoServer);
        EXPECT_FALSE(c.openStream(8000));
    }
    if (old != nullptr)
        ::setenv("PULSE_SERVER", kept.c_str(), 1);
    else
        ::unsetenv("PULSE_SERVER");
}
