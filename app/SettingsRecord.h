#pragma once

// The settings file: one 56-byte little-endian record beside the program,
// read once at start-up and written once at the close. No header, no version,
// no checksum, so the byte layout below is the file format and must never
// move. No widgets here: the main window copies the fields to and from its
// state and the settings dialog.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t kSettingsRecordSize = 56;

// The gains and the averaging count are track bar positions 1 … 100; a stored
// value above the bars' maximum is lowered to it when the file is read.
inline constexpr std::uint16_t kSettingsMaxGain = 100;
inline constexpr std::uint16_t kSettingsMaxAvgCount = 100;

// Field order and types as stored; the comment gives each field's offset.
struct SettingsRecord {
    std::int16_t DisplayMode = 0;     //  0: 1000 spectrum, 2000 waveform, 3000 sonagraph
    std::uint16_t MarkPos = 0;        //  2: mark cursor column
    std::uint16_t SpacePos = 0;       //  4: space cursor column
    std::uint16_t AvgCount = 0;       //  6: spectrum averaging count
    std::uint16_t WaveSampleRate = 0; //  8: samples/s of the waveform view
    std::uint16_t SonaSampleRate = 0; // 10: samples/s of the sonagraph
    std::uint16_t SonaBandwidth = 0;  // 12: Hz shown by the sonagraph
    std::uint16_t SpecSampleRate = 0; // 14: samples/s of the spectrum view
    std::uint16_t SpecBandwidth = 0;  // 16: Hz shown by the spectrum view
    std::uint16_t SpecGainValue = 0;  // 18: spectrum and sonagraph gain
    std::uint16_t WaveGainValue = 0;  // 20: waveform gain
    // 22: 2 bytes padding
    double BinWidth = 0;               // 24: Hz per FFT bin at the close; never applied
    std::int32_t BandwidthPos = 0;     // 32: bandwidth track bar position, Hz
    std::uint16_t WindowTop = 0;       // 36: low 16 bits of the window's top edge
    std::uint16_t WindowLeft = 0;      // 38: low 16 bits of the left edge
    std::uint16_t WindowHeight = 0;    // 40: outer height, pixels
    std::uint16_t WindowWidth = 0;     // 42: outer width, pixels
    bool FlowChecked = false;          // 44: sonagraph "Flow" (else "Sweep")
                                       // 45: 1 byte padding
    std::int16_t TrackMode = 0;        // 46: 0 none, 4000 FSK, 5000 CW
    std::uint16_t UpdateInterval = 0;  // 48: refresh timer interval, ms
    bool SamplingSpeedChecked = false; // 50: "Sampling Speed"
    bool NyquistChecked = false;       // 51: "Nyquist Bandwidth"
    bool TriggerChecked = false;       // 52: "Trigger Waveform"
                                       // 53: 3 bytes padding

    bool operator==(const SettingsRecord&) const = default;
};

// The record as stored: little-endian whatever the host, booleans as 0 or 1,
// padding as zeros.
std::array<std::uint8_t, kSettingsRecordSize> EncodeSettings(const SettingsRecord& record);

// Lays the first `count` bytes of `bytes` (at most 56 are used) over the
// record, as if they had been read straight into its stored form: after a
// short read the bytes that arrived replace their part of the record and the
// rest stays as it was, down to the single bytes of a field cut in two. Any
// nonzero boolean byte reads as true. Every byte pattern is accepted.
void DecodeSettings(const std::uint8_t* bytes, std::size_t count, SettingsRecord& into);

// The read-time clamp: gains and the averaging count above 100 become 100.
// Nothing is raised: a stored 0 stays 0 (the track bars then show their
// minimum while the live value keeps the 0).
void ClampSettings(SettingsRecord& record);

// Returned by ReadSettingsFile when the file ended before a whole record.
inline constexpr int kSettingsShortFile = -1;

// Reads the record from the existing file at `path`. The file must be
// opened for reading and writing, so a read-only file fails like a missing
// one. Returns 0 when all 56 bytes were read; otherwise the errno of the
// failed open or read, or kSettingsShortFile (the bytes that were read are
// laid over `into` all the same). Bytes beyond the first 56 are never read.
// An empty path is a missing file (ENOENT). ClampSettings is applied
// whatever happened.
int ReadSettingsFile(const std::string& path, SettingsRecord& into);

// Writes the record to `path`: into a new file beside it, flushed to disk and
// renamed over the old one, so that the file is always either the old record
// or the new one. An existing file is replaced only when the read above could
// have used it (a regular file this user may read and write, not marked
// read-only); a symbolic link, a read-only file and a file that cannot be read
// stay as they are. Then, as when the folder is missing or full, nothing is
// written and nothing is reported: the settings are a convenience, and the
// close must go on. An empty path writes nothing and creates nothing.
void WriteSettingsFile(const std::string& path, const SettingsRecord& record);
