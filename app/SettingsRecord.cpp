#include "app/SettingsRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
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
    // No path at all (the installed copy without a home folder) is a missing
    // file; nothing is looked up relative to the working folder.
    if (path.empty()) {
        ClampSettings(into);
        return ENOENT;
    }
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

namespace {

// Writes all of `bytes` to `fd`; false on any failure (a full disk included).
bool writeAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// What may stand at the path of the settings file before it is replaced.
enum class Existing { None, Replaceable, Keep };

// Only a file from which the start-up could have read the settings is
// replaced: a regular file that this user may open for reading and writing
// and that is not marked read-only. A symbolic link is never followed (it
// may point anywhere, outside the folder too) nor replaced; a file that
// could not be read holds settings we never saw, and replacing it would lose
// them.
Existing examine(const std::string& path, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return Existing::Keep; // ELOOP for a link, EACCES, EISDIR, ...
        // A dangling link also reports ENOENT: look at the name itself.
        return ::lstat(path.c_str(), &st) == 0 ? Existing::Keep : Existing::None;
    }
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !isReadOnly(st);
    ::close(fd);
    return ok ? Existing::Replaceable : Existing::Keep;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new temporary file beside `path`; never follows or reuses a name
// that exists.
int createTemporary(const std::string& path, std::string& name) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++counter);
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

} // namespace

void WriteSettingsFile(const std::string& path, const SettingsRecord& record) {
    // Without a path the temporary file below would be made, and removed
    // again, in whatever folder the program was started from.
    if (path.empty()) return;
    struct stat old {};
    const Existing existing = examine(path, old);
    if (existing == Existing::Keep) return;

    // The record goes to a new file that replaces the old one in a single
    // rename, so a crash or a full disk at any moment leaves either the old
    // settings or the new ones, never a short file.
    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) return; // folder missing or not writable: the old file stays
    bool ok = writeAll(fd, EncodeSettings(record));
    if (ok && existing == Existing::Replaceable) {
        // The replacement keeps the old file's permissions and, where we may
        // set it (as root), its owner: a file root rewrites for a user must
        // stay that user's.
        ok = ::fchmod(fd, old.st_mode & 0777) == 0;
        if (ok && ::geteuid() == 0) ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return;
    }
    // Make the rename itself durable.
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
