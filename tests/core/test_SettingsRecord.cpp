#include "app/SettingsRecord.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A record in which every field holds a value of its own, with the high byte
// of each multi-byte field set, so that a misplaced or short field shows.
SettingsRecord distinctRecord() {
    SettingsRecord r;
    r.DisplayMode = 3000;
    r.MarkPos = 0x0102;
    r.SpacePos = 0x0304;
    r.AvgCount = 77;
    r.WaveSampleRate = 44100;
    r.SonaSampleRate = 11025;
    r.SonaBandwidth = 5512;
    r.SpecSampleRate = 48000;
    r.SpecBandwidth = 13000;
    r.SpecGainValue = 99;
    r.WaveGainValue = 42;
    r.BinWidth = 43.06640625;
    r.BandwidthPos = -123456789;
    r.WindowTop = 65528;
    r.WindowLeft = 1001;
    r.WindowHeight = 600;
    r.WindowWidth = 520;
    r.FlowChecked = true;
    r.TrackMode = 5000;
    r.UpdateInterval = 450;
    r.SamplingSpeedChecked = false;
    r.NyquistChecked = true;
    r.TriggerChecked = true;
    return r;
}

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/quarl-settings-XXXXXX";
        const char* made = ::mkdtemp(name);
        if (made == nullptr) std::abort();
        path_ = made;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(file(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    std::string file() const { return (path_ / "quarl.cfg").string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes toVector(const std::array<std::uint8_t, kSettingsRecordSize>& a) {
    return Bytes(a.begin(), a.end());
}

} // namespace

TEST(SettingsRecord, RateAndBandwidthOfTheSpectrumViewAreLittleEndian) {
    // 22050 samples/s and an 8000 Hz bandwidth chosen in the spectrum view.
    SettingsRecord r;
    r.SpecSampleRate = 22050;
    r.SpecBandwidth = 8000;
    const auto b = EncodeSettings(r);
    EXPECT_EQ(b[14], 0x22);
    EXPECT_EQ(b[15], 0x56);
    EXPECT_EQ(b[16], 0x40);
    EXPECT_EQ(b[17], 0x1F);
}

// Every field at its offset, little-endian, and nothing else touched.
struct FieldCase {
    const char* name;
    void (*set)(SettingsRecord&);
    std::size_t offset;
    Bytes bytes;
};

class SettingsFieldLayout : public ::testing::TestWithParam<FieldCase> {};

TEST_P(SettingsFieldLayout, FieldLandsAtItsOffsetOnly) {
    const FieldCase& c = GetParam();
    SettingsRecord r;
    c.set(r);
    const Bytes encoded = toVector(EncodeSettings(r));
    Bytes expected(kSettingsRecordSize, 0);
    std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + c.offset);
    EXPECT_EQ(encoded, expected);

    SettingsRecord back;
    DecodeSettings(encoded.data(), encoded.size(), back);
    EXPECT_EQ(back, r);
}

INSTANTIATE_TEST_SUITE_P(
    AllFields, SettingsFieldLayout,
    ::testing::Values(
        FieldCase{"DisplayMode", [](SettingsRecord& r) { r.DisplayMode = -2; }, 0, {0xFE, 0xFF}},
        FieldCase{"MarkPos", [](SettingsRecord& r) { r.MarkPos = 0x1234; }, 2, {0x34, 0x12}},
        FieldCase{"SpacePos", [](SettingsRecord& r) { r.SpacePos = 0x1234; }, 4, {0x34, 0x12}},
        FieldCase{"AvgCount", [](SettingsRecord& r) { r.AvgCount = 0x0164; }, 6, {0x64, 0x01}},
        FieldCase{
            "WaveSampleRate", [](SettingsRecord& r) { r.WaveSampleRate = 48000; }, 8, {0x80, 0xBB}},
        FieldCase{"SonaSampleRate",
                  [](SettingsRecord& r) { r.SonaSampleRate = 44100; },
                  10,
                  {0x44, 0xAC}},
        FieldCase{
            "SonaBandwidth", [](SettingsRecord& r) { r.SonaBandwidth = 5512; }, 12, {0x88, 0x15}},
        FieldCase{"SpecSampleRate",
                  [](SettingsRecord& r) { r.SpecSampleRate = 11025; },
                  14,
                  {0x11, 0x2B}},
        FieldCase{
            "SpecBandwidth", [](SettingsRecord& r) { r.SpecBandwidth = 0xABCD; }, 16, {0xCD, 0xAB}},
        FieldCase{
            "SpecGainValue", [](SettingsRecord& r) { r.SpecGainValue = 0x0203; }, 18, {0x03, 0x02}},
        FieldCase{
            "WaveGainValue", [](SettingsRecord& r) { r.WaveGainValue = 0x0405; }, 20, {0x05, 0x04}},
        // 15.625 = 0x402F400000000000
        FieldCase{"BinWidth",
                  [](SettingsRecord& r) { r.BinWidth = 15.625; },
                  24,
                  {0, 0, 0, 0, 0, 0x40, 0x2F, 0x40}},
        FieldCase{"BandwidthPos",
                  [](SettingsRecord& r) { r.BandwidthPos = -2; },
                  32,
                  {0xFE, 0xFF, 0xFF, 0xFF}},
        FieldCase{"WindowTop", [](SettingsRecord& r) { r.WindowTop = 65528; }, 36, {0xF8, 0xFF}},
        FieldCase{"WindowLeft", [](SettingsRecord& r) { r.WindowLeft = 1000; }, 38, {0xE8, 0x03}},
        FieldCase{
            "WindowHeight", [](SettingsRecord& r) { r.WindowHeight = 600; }, 40, {0x58, 0x02}},
        FieldCase{"WindowWidth", [](SettingsRecord& r) { r.WindowWidth = 520; }, 42, {0x08, 0x02}},
        FieldCase{"FlowChecked", [](SettingsRecord& r) { r.FlowChecked = true; }, 44, {1}},
        FieldCase{"TrackMode", [](SettingsRecord& r) { r.TrackMode = 5000; }, 46, {0x88, 0x13}},
        FieldCase{
            "UpdateInterval", [](SettingsRecord& r) { r.UpdateInterval = 500; }, 48, {0xF4, 0x01}},
        FieldCase{"SamplingSpeedChecked",
                  [](SettingsRecord& r) { r.SamplingSpeedChecked = true; },
                  50,
                  {1}},
        FieldCase{"NyquistChecked", [](SettingsRecord& r) { r.NyquistChecked = true; }, 51, {1}},
        FieldCase{"TriggerChecked", [](SettingsRecord& r) { r.TriggerChecked = true; }, 52, {1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsRecord, PaddingIsWrittenAsZerosAndIgnoredOnReading) {
    SettingsRecord r = distinctRecord();
    r.SamplingSpeedChecked = true;
    auto b = EncodeSettings(r);
    for (std::size_t at : {22u, 23u, 45u, 53u, 54u, 55u})
        EXPECT_EQ(b[at], 0) << "offset " << at;

    for (std::size_t at : {22u, 23u, 45u, 53u, 54u, 55u})
        b[at] = 0xA5;
    SettingsRecord back;
    DecodeSettings(b.data(), b.size(), back);
    EXPECT_EQ(back, r);
}

class SettingsBooleanByte : public ::testing::TestWithParam<std::tuple<std::size_t, int>> {};

TEST_P(SettingsBooleanByte, AnyNonzeroByteIsTrueAndIsWrittenBackAsOne) {
    const auto [offset, value] = GetParam();
    Bytes b(kSettingsRecordSize, 0);
    b[offset] = static_cast<std::uint8_t>(value);
    SettingsRecord r;
    DecodeSettings(b.data(), b.size(), r);
    const int trues = r.FlowChecked + r.SamplingSpeedChecked + r.NyquistChecked + r.TriggerChecked;
    EXPECT_EQ(trues, 1);
    EXPECT_EQ(EncodeSettings(r)[offset], 1);
}

INSTANTIATE_TEST_SUITE_P(FourBooleans, SettingsBooleanByte,
                         ::testing::Combine(::testing::Values(44u, 50u, 51u, 52u),
                                            ::testing::Values(1, 2, 0x80, 0xFF)));

// The read-time clamp: only above 100, never below.
struct ClampCase {
    std::uint16_t stored;
    std::uint16_t expected;
};

class SettingsClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(SettingsClamp, GainsAndAveragingAreLoweredTo100Only) {
    const ClampCase c = GetParam();
    SettingsRecord r = distinctRecord();
    r.SpecGainValue = r.WaveGainValue = r.AvgCount = c.stored;
    SettingsRecord expected = r;
    expected.SpecGainValue = expected.WaveGainValue = expected.AvgCount = c.expected;
    ClampSettings(r);
    EXPECT_EQ(r, expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsClamp,
                         ::testing::Values(ClampCase{0, 0}, ClampCase{1, 1}, ClampCase{100, 100},
                                           ClampCase{101, 100}, ClampCase{250, 100},
                                           ClampCase{65535, 100}));

TEST(SettingsFile, WrittenRecordIsReadBackWhole) {
    TempDir dir;
    const SettingsRecord r = distinctRecord();
    WriteSettingsFile(dir.file(), r);
    EXPECT_EQ(readBytes(dir.file()), toVector(EncodeSettings(r)));
    SettingsRecord back;
    EXPECT_EQ(ReadSettingsFile(dir.file(), back), 0);
    EXPECT_EQ(back, r);
}

TEST(SettingsFile, RewriteTruncatesALongerFile) {
    TempDir dir;
    writeBytes(dir.file(), Bytes(300, 0x5A));
    WriteSettingsFile(dir.file(), distinctRecord());
    EXPECT_EQ(readBytes(dir.file()).size(), kSettingsRecordSize);
}

TEST(SettingsFile, ByteBeyondTheRecordIsIgnored) {
    TempDir dir;
    Bytes b = toVector(EncodeSettings(distinctRecord()));
    b.push_back(0xFF);
    writeBytes(dir.file(), b);
    SettingsRecord back;
    EXPECT_EQ(ReadSettingsFile(dir.file(), back), 0);
    EXPECT_EQ(back, distinctRecord());
}

TEST(SettingsFile, ShortFileFailsAndKeepsTheBytesThatArrived) {
    TempDir dir;
    // 55 bytes: everything but the last padding byte arrives, still a failure.
    const Bytes whole = toVector(EncodeSettings(distinctRecord()));
    writeBytes(dir.file(), Bytes(whole.begin(), whole.begin() + 55));
    SettingsRecord back;
    EXPECT_NE(ReadSettingsFile(dir.file(), back), 0);
    EXPECT_EQ(back, distinctRecord());

    // 7 bytes cut AvgCount in two: its low byte arrives, its high byte and
    // every later field stay as they were in the block.
    Bytes seven(7, 0);
    seven[0] = 0xD0; // DisplayMode 2000 = 0x07D0
    seven[1] = 0x07;
    seven[6] = 0x05;
    writeBytes(dir.file(), seven);
    SettingsRecord block;
    block.AvgCount = 0x0100; // high byte 1 → 0x0105 = 261, clamped to 100
    block.SpecGainValue = 7;
    block.TrackMode = 4000;
    EXPECT_NE(ReadSettingsFile(dir.file(), block), 0);
    EXPECT_EQ(block.DisplayMode, 2000);
    EXPECT_EQ(block.MarkPos, 0);
    EXPECT_EQ(block.AvgCount, 100);
    EXPECT_EQ(block.SpecGainValue, 7);
    EXPECT_EQ(block.TrackMode, 4000);
}

TEST(SettingsFile, MissingFileFailsAndIsNotCreatedButStillClamps) {
    TempDir dir;
    SettingsRecord block;
    block.SpecGainValue = 250;
    EXPECT_NE(ReadSettingsFile(dir.file(), block), 0);
    EXPECT_EQ(block.SpecGainValue, 100);
    EXPECT_FALSE(fs::exists(dir.file()));
}

// The installed copy without a home folder has no settings path: nothing is
// made in the working folder, not even a temporary file for a moment.
TEST(SettingsFile, NoPathWritesNothing) {
    TempDir dir;
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
    const fs::path started = fs::current_path();
    fs::current_path(dir.path());
    WriteSettingsFile("", distinctRecord());
    fs::current_path(started);
    alignas(inotify_event) char events[4096];
    EXPECT_EQ(read(watch, events, sizeof events), -1) << "a file was made there";
    close(watch);
}

TEST(SettingsFile, FolderInPlaceOfTheFileFails) {
    TempDir dir;
    fs::create_directory(dir.file());
    SettingsRecord block;
    EXPECT_NE(ReadSettingsFile(dir.file(), block), 0);
    WriteSettingsFile(dir.file(), distinctRecord()); // silent
    EXPECT_TRUE(fs::is_directory(dir.file()));
}

TEST(SettingsFile, ReadOnlyFileFailsLikeAMissingOneAndIsNotReplaced) {
    TempDir dir;
    const Bytes old = toVector(EncodeSettings(distinctRecord()));
    writeBytes(dir.file(), old);
    ASSERT_EQ(::chmod(dir.file().c_str(), 0444), 0);

    SettingsRecord block;
    EXPECT_NE(ReadSettingsFile(dir.file(), block), 0);
    EXPECT_EQ(block, SettingsRecord{});

    SettingsRecord other;
    other.DisplayMode = 2000;
    WriteSettingsFile(dir.file(), other);
    EXPECT_EQ(readBytes(dir.file()), old);
}

TEST(SettingsFile, MissingFolderAtCloseIsSilent) {
    TempDir dir;
    const std::string path = (dir.path() / "gone" / "quarl.cfg").string();
    WriteSettingsFile(path, distinctRecord());
    EXPECT_FALSE(fs::exists(path));
}

// Whatever a file holds, the read decodes it without undefined behaviour
// (run once under -fsanitize=undefined,address), succeeds exactly when 56
// bytes are there, and leaves the clamped fields in range.
class SettingsFileContent : public ::testing::TestWithParam<int> {};

TEST_P(SettingsFileContent, AnyContentReadsSafely) {
    const int size = GetParam();
    std::mt19937 random(0x5157u + static_cast<unsigned>(size));
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes content(static_cast<std::size_t>(size));
    for (auto& b : content)
        b = static_cast<std::uint8_t>(byte(random));
    if (size % 3 == 0) // every third file all ones: the highest values of every field
        std::fill(content.begin(), content.end(), 0xFF);

    TempDir dir;
    writeBytes(dir.file(), content);
    SettingsRecord block = distinctRecord();
    const int result = ReadSettingsFile(dir.file(), block);
    EXPECT_EQ(result == 0, size >= static_cast<int>(kSettingsRecordSize));
    EXPECT_LE(block.SpecGainValue, 100);
    EXPECT_LE(block.WaveGainValue, 100);
    EXPECT_LE(block.AvgCount, 100);

    SettingsRecord expected = distinctRecord();
    DecodeSettings(content.data(), content.size(), expected);
    ClampSettings(expected);
    // Compare the stored forms: a NaN in BinWidth is not equal to itself.
    EXPECT_EQ(EncodeSettings(block), EncodeSettings(expected));
}

INSTANTIATE_TEST_SUITE_P(Sizes0To200, SettingsFileContent, ::testing::Range(0, 201));

// ---------------------------------------------------- replacing the file

namespace {

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// Runs `body` in a child process (so that the limits and the user it sets
// stay there) and returns its exit status, -1 if it did not exit normally.
template <typename Body> int inChild(Body body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

constexpr uid_t kNobody = 65534;

bool becomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

} // namespace

TEST(SettingsFile, AWriteThatFailsHalfwayLeavesTheOldRecordWholeAndItsPermissions) {
    TempDir dir;
    const Bytes old = toVector(EncodeSettings(distinctRecord()));
    writeBytes(dir.file(), old);
    ASSERT_EQ(::chmod(dir.file().c_str(), 0640), 0);
    // A file size limit of 20 bytes fails the write after 20 of the 56, as a
    // disk that fills up would.
    ASSERT_EQ(inChild([&] {
                  ::signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{20, 20};
                  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
                  WriteSettingsFile(dir.file(), SettingsRecord{});
                  return 0;
              }),
              0);
    EXPECT_EQ(readBytes(dir.file()), old);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"quarl.cfg"});

    WriteSettingsFile(dir.file(), SettingsRecord{});
    EXPECT_EQ(readBytes(dir.file()), toVector(EncodeSettings(SettingsRecord{})));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"quarl.cfg"});
}

TEST(SettingsFile, ALinkIsReadButNothingIsWrittenThroughIt) {
    TempDir dir, elsewhere;
    const Bytes outside = toVector(EncodeSettings(distinctRecord()));
    writeBytes(elsewhere.file(), outside);
    fs::create_symlink(elsewhere.file(), dir.file());
    SettingsRecord block;
    EXPECT_EQ(ReadSettingsFile(dir.file(), block), 0);
    EXPECT_EQ(block, distinctRecord());
    WriteSettingsFile(dir.file(), SettingsRecord{});
    EXPECT_EQ(readBytes(elsewhere.file()), outside);
    EXPECT_TRUE(fs::is_symlink(dir.file()));

    // Nor through a link to nowhere.
    const fs::path nowhere = elsewhere.path() / "gone.cfg";
    fs::remove(dir.file());
    fs::create_symlink(nowhere, dir.file());
    WriteSettingsFile(dir.file(), SettingsRecord{});
    EXPECT_FALSE(fs::exists(nowhere));
}

// A file the start-up could not read holds settings the program never saw:
// the close must not replace them with the defaults. Root may read any file
// whatever its permissions say, so as root (CI runs as root) the read and
// the write run as "nobody", who owns the folder and, unless `othersFile`,
// the file.
struct UnusableFile {
    mode_t mode;
    bool othersFile;
};

class SettingsUnusableFile : public ::testing::TestWithParam<UnusableFile> {};

TEST_P(SettingsUnusableFile, IsNeitherReadNorReplaced) {
    const bool root = ::geteuid() == 0;
    if (GetParam().othersFile && !root) GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const Bytes old = toVector(EncodeSettings(distinctRecord()));
    writeBytes(dir.file(), old);
    ASSERT_EQ(::chmod(dir.file().c_str(), GetParam().mode), 0);
    if (root) {
        ASSERT_EQ(::chown(dir.path().c_str(), kNobody, kNobody), 0);
        if (!GetParam().othersFile) {
            ASSERT_EQ(::chown(dir.file().c_str(), kNobody, kNobody), 0);
        }
    }
    const auto readThenWrite = [&] {
        SettingsRecord block;
        if (ReadSettingsFile(dir.file(), block) == 0) return 1;
        WriteSettingsFile(dir.file(), SettingsRecord{});
        return 0;
    };
    EXPECT_EQ(
        root ? inChild([&] { return becomeNobody() ? readThenWrite() : 2; }) : readThenWrite(), 0);
    ASSERT_EQ(::chmod(dir.file().c_str(), 0600), 0);
    EXPECT_EQ(readBytes(dir.file()), old);
}

INSTANTIATE_TEST_SUITE_P(Modes, SettingsUnusableFile,
                         ::testing::Values(UnusableFile{0200, false}, UnusableFile{0000, false},
                                           UnusableFile{0644, true}));
