#include "capture/mmErrMsg.h"

#include "capture/WaveIn.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    std::uint32_t code;
    const char* text;
};

// The whole table: the texts are what operators have learned to read.
constexpr Row kTable[] = {
    {1, "Wave Device Error"},
    {2, "Wave Device ID out of range"},
    {3, "Wave Driver failed to enable"},
    {4, "Wave Device already allocated"},
    {5, "Wave Device handle is invalid"},
    {6, "No Wave Device driver present"},
    {7, "Memory allocation error - Wave Device"},
    {8, "Function isn't supported"},
    {9, "Error value out of range"},
    {10, "Invalid flag passed to Wave Device"},
    {11, "Invalid parameter passed to Wave Device"},
    {32, "Format Not supported by Wave Device"},
    {33, "Still playing"},
    {34, "Wave Header not prepared"},
    {35, "Device is synchronous"},
    {64, "Wave Header not prepared"},
    {65, "Still playing"},
    {66, "No current map for Device"},
    {67, "Hardware is still busy"},
    {68, "Wave Port no longer connected"},
    {69, "Wave Device - invalid setup"},
    {97, "Timer request not completed"},
    {129, "Invalid Time struct size"},
    {165, "Joystick - bad parameters"},
    {166, "Joystick request not completed"},
    {167, "Joystick is unplugged"},
    {257, "Wave File not found or file error"},
    {258, "Out of memory"},
    {259, "Cannot open Device"},
    {260, "Cannot close Device"},
    {261, "Cannot read"},
    {262, "Cannot write"},
    {263, "Cannot seek"},
    {264, "Cannot expand file"},
    {265, "Data Chunk not found"},
    {266, "Media File is unbuffered"},
};

constexpr const char* kUnknown = "An unknown error has occured!";

} // namespace

TEST(MMErrorText, EveryCodeOfTheTableHasItsText) {
    for (const Row& row : kTable)
        EXPECT_EQ(MMErrorText(row.code), row.text) << row.code;
}

TEST(MMErrorText, CodesBesideTheTableGiveTheGeneralText) {
    for (std::uint32_t code :
         {0u, 12u, 31u, 36u, 63u, 70u, 96u, 98u, 128u, 130u, 164u, 168u, 256u, 267u, 0xFFFFu})
        EXPECT_EQ(MMErrorText(code), kUnknown) << code;
}

TEST(MMErrorText, OnlyTheLow16BitsCount) {
    EXPECT_EQ(MMErrorText(0x00010020u), "Format Not supported by Wave Device");
    EXPECT_EQ(MMErrorText(0xFFFF0005u), "Wave Device handle is invalid");
    EXPECT_EQ(MMErrorText(0x80000000u), kUnknown); // low half 0
}

// The device error box also names failures of our own, with codes above the
// platform's 16 bits; every platform code keeps its text.
TEST(DeviceErrorText, OwnCodesHaveTheirTextAndTheTableIsUnchanged) {
    EXPECT_EQ(DeviceErrorText(wavein::ERR_NOT_ANSWERING),
              "Wave Device did not answer within 5 seconds");
    EXPECT_EQ(MMErrorText(wavein::ERR_NOT_ANSWERING), kUnknown);
    for (const Row& row : kTable)
        EXPECT_EQ(DeviceErrorText(row.code), row.text) << row.code;
    EXPECT_EQ(DeviceErrorText(0x00010020u), "Format Not supported by Wave Device");
    EXPECT_EQ(DeviceErrorText(12u), kUnknown);
}
