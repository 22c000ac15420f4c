// Where the settings file and the Images folder are: beside a copy run from
// anywhere, in the user's folders for the installed copy (the one in the bin
// folder of the install prefix, which the tests choose).
#include "app/Paths.h"
#include "app/SettingsRecord.h"
#include "tests/ui/Harness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

// Saves an environment variable and puts it back at the end of the test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QString> value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) old_ = qEnvironmentVariable(name);
        set(value);
    }
    ~ScopedEnv() { set(old_); }

private:
    void set(const std::optional<QString>& value) {
        if (value)
            qputenv(name_, value->toLocal8Bit());
        else
            qunsetenv(name_);
    }
    const char* name_;
    std::optional<QString> old_;
};

// A scratch tree: <root>/prefix/bin is the installed copy's folder, <root>/home
// the user's home, <root>/copy a copy of the program elsewhere.
class InstalledCopy : public ::testing::Test {
protected:
    QTemporaryDir scratch;
    QString root = scratch.path();
    QString prefix = root + "/prefix";
    QString bin = prefix + "/bin";
    QString home = root + "/home";
    QString copy = root + "/copy";
    ScopedEnv homeEnv{"HOME", home};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", std::nullopt};

    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(home) && QDir().mkpath(copy));
    }

    // One run of the program from `folder`: started, `check`ed, closed.
    template <typename Check> void run(const QString& folder, Check check) {
        Harness run;
        run.create();
        run.form1->ProgramFolder = folder;
        run.form1->InstallPrefix = prefix;
        run.start();
        check(*run.form1);
        run.form1->CloseWindow();
        run.pump();
    }

    static void writeMarkPos(const QString& path, std::uint16_t mark) {
        SettingsRecord r;
        r.DisplayMode = kSpectrumMode;
        r.MarkPos = mark;
        r.SpacePos = 200;
        r.SpecSampleRate = r.WaveSampleRate = r.SonaSampleRate = 8000;
        r.SpecBandwidth = r.SonaBandwidth = 4000;
        r.BandwidthPos = 4000;
        r.WindowHeight = 250;
        r.WindowWidth = 520;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        WriteSettingsFile(QFile::encodeName(path).toStdString(), r);
    }
    static int markPosIn(const QString& path) {
        SettingsRecord r;
        return ReadSettingsFile(QFile::encodeName(path).toStdString(), r) == 0 ? r.MarkPos : -1;
    }
    static mode_t modeOf(const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

TEST_F(InstalledCopy, KeepsItsSettingsInTheUsersConfigurationFolder) {
    const QString config = root + "/config"; // not there yet
    ScopedEnv xdg("XDG_CONFIG_HOME", config);
    const QString userFile = config + "/quarl/quarl.cfg";

    run(bin, [](TForm1& form) { EXPECT_EQ(form.MarkPos, 50); }); // first start: the defaults
    EXPECT_EQ(markPosIn(userFile), 50);
    // Created for the user alone, as XDG wants, and nothing written into bin.
    EXPECT_EQ(modeOf(config), 0700u);
    EXPECT_EQ(modeOf(config + "/quarl"), 0700u);
    EXPECT_FALSE(QFileInfo::exists(bin + "/quarl.cfg"));

    // The next start reads the user's file, not a stray one beside the program.
    writeMarkPos(userFile, 120);
    writeMarkPos(bin + "/quarl.cfg", 77);
    run(bin, [](TForm1& form) {
        EXPECT_EQ(form.MarkPos, 120);
        form.MarkPos = 130;
    });
    EXPECT_EQ(markPosIn(userFile), 130);
    EXPECT_EQ(markPosIn(bin + "/quarl.cfg"), 77);
}

TEST_F(InstalledCopy, ACopyElsewhereKeepsItsSettingsBesideItself) {
    writeMarkPos(copy + "/quarl.cfg", 120);
    run(copy, [](TForm1& form) {
        EXPECT_EQ(form.MarkPos, 120);
        form.MarkPos = 130;
    });
    EXPECT_EQ(markPosIn(copy + "/quarl.cfg"), 130);
    EXPECT_FALSE(QFileInfo::exists(home + "/.config"));
}

TEST_F(InstalledCopy, WithoutAHomeFolderNothingIsWritten) {
    ScopedEnv noHome("HOME", std::nullopt);
    run(bin, [](TForm1& form) { EXPECT_EQ(form.MarkPos, 50); });
    EXPECT_EQ(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    EXPECT_TRUE(SettingsFilePath(bin, prefix).isEmpty());
    EXPECT_TRUE(ImagesFolderPath(bin, prefix).isEmpty());
}

// Which copy is the installed one, and where its files go. Folders are
// relative to the scratch root; "" for XDG_CONFIG_HOME leaves it unset.
struct PathCase {
    const char* name;
    const char* programFolder;
    const char* configHome;
    const char* settingsFile;
    const char* imagesFolder;
};

class PathTable : public InstalledCopy, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathTable, SettingsAndImages) {
    const PathCase& c = GetParam();
    ASSERT_TRUE(QFile::link(bin, root + "/linked-bin"));
    ASSERT_TRUE(QFile::link(prefix, root + "/linked-prefix"));
    const auto at = [&](const char* p) { return QDir::cleanPath(root + "/" + p); };
    std::optional<QString> configHome; // "/x": <root>/x; "": unset; else as it stands
    if (*c.configHome == '/')
        configHome = at(c.configHome + 1);
    else if (*c.configHome != 0)
        configHome = c.configHome;
    ScopedEnv xdg("XDG_CONFIG_HOME", configHome);
    EXPECT_EQ(SettingsFilePath(at(c.programFolder), prefix), at(c.settingsFile));
    EXPECT_EQ(ImagesFolderPath(at(c.programFolder), prefix), at(c.imagesFolder));
}

INSTANTIATE_TEST_SUITE_P(
    Copies, PathTable,
    ::testing::Values(PathCase{"Installed", "prefix/bin", "", "home/.config/quarl/quarl.cfg",
                               "home/Pictures/Quarl"},
                      PathCase{"InstalledWithConfigHome", "prefix/bin", "/xdg",
                               "xdg/quarl/quarl.cfg", "home/Pictures/Quarl"},
                      // A relative XDG_CONFIG_HOME is to be ignored, never taken from the
                      // folder the program was started in.
                      PathCase{"RelativeConfigHomeIgnored", "prefix/bin", "rel",
                               "home/.config/quarl/quarl.cfg", "home/Pictures/Quarl"},
                      PathCase{"ThroughALinkedFolder", "linked-bin", "",
                               "home/.config/quarl/quarl.cfg", "home/Pictures/Quarl"},
                      PathCase{"ThroughALinkedPrefix", "linked-prefix/bin/", "",
                               "home/.config/quarl/quarl.cfg", "home/Pictures/Quarl"},
                      PathCase{"TheBuildFolder", "copy", "", "copy/quarl.cfg", "copy/Images"},
                      PathCase{"ThePrefixItself", "prefix", "", "prefix/quarl.cfg",
                               "prefix/Images"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
