#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

// The C library's locale from the environment, as Qt sets it in the program. A run meant for a
// locale with a decimal comma (QUARL_TEST_LOCALE) fails in CI where it is missing, else skips.
int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (std::getenv("QUARL_TEST_LOCALE") && *std::localeconv()->decimal_point != ',') {
        std::fputs("locale missing: scripts/setup.sh generates it\n", stderr);
        return std::getenv("CI") ? 1 : 77;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
