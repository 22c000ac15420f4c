#include "app/SettingsRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::array<std::uint8_t, kSettingsRecordSize>;

// Byte offsets in the stored record.
enum Offset : std::size_t {
    kDisplayMode = 0,
    kMarkPos = 2,
    kSpacePos = 4,
    kAvgCount = 6,
    kWaveSampleRate = 8,
    kSonaSampleRate = 10,
    kSonaBandwidth = 12,
    kSpecSampleRate = 14,
    kSpecBandwidth = 16,
    kSpecGainValue = 18,
    kWaveGainValue = 20,
    kBinWidth = 24,
    kBandwidthPos = 32,
    kWindowTop = 36,
    kWindowLeft = 38,
    kWindowHeight = 40,
    kWindowWidth = 42,
    kFlowChecked = 44,
    kTrackMode = 46,
    kUpdateInterval = 48,
    kSamplingSpeedChecked = 50,
    kNyquistChecked = 51,
    kTriggerChecked = 52,
};

// Little-endian stores and loads, byte by byte, so the file is the same on
// any host and no unaligned or type-punned access is made.
void put(Bytes& b, std::size_t at, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t get(const Bytes& b, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= static_cast<std::uint64_t>(b[at + i]) << (8 * i);
    return value;
}

std::uint16_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(get(b, at, 2));
}

// A file whose write permission bits are all clear counts as read-only even
// for a user (root) whom the system would let write it anyway: the operator
// who made it read-only meant it to stay as it is.
bool isReadOnly(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

Bytes EncodeSettings(const SettingsRecord& r) {
    Bytes b{}; // padding stays zero
    put(b, kDisplayMode, static_cast<std::uint16_t>(r.DisplayMode), 2);
    put(b, kMarkPos, r.MarkPos, 2);
    put(b, kSpacePos, r.SpacePos, 2);
    put(b, kAvgCount, r.AvgCount, 2);
    put(b, kWaveSampleRate, r.WaveSampleRate, 2);
    put(b, kSonaSampleRate, r.SonaSampleRate, 2);
    put(b, kSonaBandwidth, r.SonaBandwidth, 2);
    put(b, kSpecSampleRate, r.SpecSampleRate, 2);
    put(b, kSpecBandwidth, r.SpecBandwidth, 2);
    put(b, kSpecGainValue, r.SpecGainValue, 2);
    put(b, kWaveGainValue, r.WaveGainValue, 2);
    std::uint64_t binWidthBits = 0;
    static_assert(sizeof binWidthBits == sizeof r.BinWidth);
    std::memcpy(&binWidthBits, &r.BinWidth, sizeof binWidthBits);
    put(b, kBinWidth, binWidthBits, 8);
    put(b, kBandwidthPos, static_cast<std::uint32_t>(r.BandwidthPos), 4);
    put(b, kWindowTop, r.WindowTop, 2);
    put(b, kWindowLeft, r.WindowLeft, 2);
    put(b, kWindowHeight, r.WindowHeight, 2);
    put(b, kWindowWidth, r.WindowWidth, 2);
    put(b, kFlowChecked, r.FlowChecked ? 1 : 0, 1);
    put(b, kTrackMode, static_cast<std::uint16_t>(r.TrackMode), 2);
    put(b, kUpdateInterval, r.UpdateInterval, 2);
    put(b, kSamplingSpeedChecked, r.SamplingSpeedChecked ? 1 : 0, 1);
    put(b, kNyquistChecked, r.NyquistChecked ? 1 : 0, 1);
    put(b, kTriggerChecked, r.TriggerChecked ? 1 : 0, 1);
    return b;
}

void DecodeSettings(const std::uint8_t* bytes, std::size_t count, SettingsRecord& into) {
    // Start from the record's own stored form so that a short read replaces
    // exactly the bytes that arrived, even half of a field.
    Bytes b = EncodeSettings(into);
    count = std::min(count, kSettingsRecordSize);
    if (count > 0) std::memcpy(b.data(), bytes, count);

    into.DisplayMode = static_cast<std::int16_t>(get16(b, kDisplayMode));
    into.MarkPos = get16(b, kMarkPos);
    into.SpacePos = get16(b, kSpacePos);
    into.AvgCount = get16(b, kAvgCount);
    into.WaveSampleRate = get16(b, kWaveSampleRate);
    into.SonaSampleRate = get16(b, kSonaSampleRate);
    into.SonaBandwidth = get16(b, kSonaBandwidth);
    into.SpecSampleRate = get16(b, kSpecSampleRate);
    into.SpecBandwidth = get16(b, kSpecBandwidth);
    into.SpecGainValue = get16(b, kSpecGainValue);
    into.WaveGainValue = get16(b, kWaveGainValue);
    const std::uint64_t binWidthBits = get(b, kBinWidth, 8);
    std::memcpy(&into.BinWidth, &binWidthBits, sizeof into.BinWidth);
    into.BandwidthPos =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(get(b, kBandwidthPos, 4)));
    into.WindowTop = get16(b, kWindowTop);
    into.WindowLeft = get16(b, kWindowLeft);
    into.WindowHeight = get16(b, kWindowHeight);
    into.WindowWidth = get16(b, kWindowWidth);
    into.FlowChecked = b[kFlowChecked] != 0;
    into.TrackMode = static_cast<std::int16_t>(get16(b, kTrackMode));
    into.UpdateInterval = get16(b, kUpdateInterval);
    into.SamplingSpeedChecked = b[kSamplingSpeedChecked] != 0;
    into.NyquistChecked = b[kNyquistChecked] != 0;
    into.TriggerChecked = b[kTriggerChecked] != 0;
}

void ClampSettings(SettingsRecord& r) {
    r.SpecGainValue = std::min(r.SpecGainValue, kSettingsMaxGain);
    r.WaveGainValue = std::min(r.WaveGainValue, kSettingsMaxGain);
    r.AvgCount = std::min(r.AvgCount, kSettingsMaxAvgCount);
}

int ReadSettingsFile(const std::string& path, SettingsRecord& into) {
    int result = 0;
    // O_NONBLOCK: a FIFO or device put in the file's place must not hang the
    // start-up; it is refused below as not a regular file.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result = errno != 0 ? errno : EIO;
    } else {
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            result = errno != 0 ? errno : EIO;
        } else if (!S_ISREG(st.st_mode)) {
            result = EINVAL;
        } else if (isReadOnly(st)) {
            result = EACCES;
        } else {
            Bytes buffer{};
            std::size_t got = 0;
            while (got < buffer.size()) {
                const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) {
                    result = errno != 0 ? errno : EIO;
                    break;
                }
                if (n == 0) {
                    result = kSettingsShortFile;
                    break;
                }
                got += static_cast<std::size_t>(n);
            }
            DecodeSettings(buffer.data(), got, into);
        }
        ::close(fd);
    }
    ClampSettings(into);
    return result;
}

void WriteSettingsFile(const std::string& path, const SettingsRecord& record) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && isReadOnly(st)) return;
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return;
    const Bytes bytes = EncodeSettings(record);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // not reported: a failed save leaves the next start on the defaults
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}
