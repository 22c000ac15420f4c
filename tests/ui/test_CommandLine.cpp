// The command line: --version and --help print, everything else is refused
// with the usage and status 2, and a bare start goes on.
#include "app/CommandLine.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

struct CommandLineCase {
    const char* name;
    QStringList arguments; // after the program's name
    std::optional<int> status;
    const char* out; // stdout, whole ("*" + text: contains text)
    const char* err; // the same for stderr
};

bool matches(const QString& text, const char* want) {
    return *want == '*' ? text.contains(QString::fromUtf8(want + 1)) : text == want;
}

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, StatusAndOutput) {
    const CommandLineCase& c = GetParam();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const auto status =
        HandleCommandLine(QStringList{"/usr/bin/quarl"} + c.arguments, outStream, errStream);
    EXPECT_EQ(status, c.status);
    EXPECT_TRUE(matches(out, c.out)) << out.toStdString();
    EXPECT_TRUE(matches(err, c.err)) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTable,
    ::testing::Values(
        CommandLineCase{"Nothing", {}, std::nullopt, "", ""},
        CommandLineCase{"Version", {"--version"}, 0, "Quarl 2.01\n", ""},
        CommandLineCase{"ShortVersion", {"-v"}, 0, "Quarl 2.01\n", ""},
        CommandLineCase{"Help", {"--help"}, 0, "*Usage: quarl [options]\n", ""},
        CommandLineCase{"ShortHelp", {"-h"}, 0, "*  -v, --version", ""},
        CommandLineCase{"UnknownOption", {"--bogus"}, 2, "", "*Usage: quarl [options]"},
        CommandLineCase{"HelpAllIsNotOffered", {"--help-all"}, 2, "", "*'help-all'"},
        CommandLineCase{"QtsOwnSwitchRefused", {"-platform", "offscreen"}, 2, "", "*Usage:"},
        CommandLineCase{"AFileName", {"picture.bmp"}, 2, "", "*Unexpected argument 'picture.bmp'"},
        CommandLineCase{"VersionWithMore", {"--version", "x"}, 2, "", "*Usage:"},
        CommandLineCase{"AfterDoubleDash", {"--", "--version"}, 2, "", "*'--version'"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
