// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kAppId = "com.quenbyworks.fernwick";

// The build's install rules run into a fresh DESTDIR with the prefix a package uses.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        const CommandResult r = RunCommand("DESTDIR='" + m_dest.path().string() + "'", FW_CMAKE,
                                           std::string("--install '") + FW_BUILD_DIR + "' --prefix /usr");
        ASSERT_EQ(r.exitCode, 0) << r.out;
    }
    fs::path Usr() const { return m_dest.path() / "usr"; }
    fs::path Share() const { return Usr() / "share"; }

private:
    TempDir m_dest;
};

bool OnPath(const std::string& program) {
    return RunCommand("", "sh", "-c 'command -v " + program + "' >/dev/null").exitCode == 0;
}

// Width and height from a PNG file's header; {0, 0} when it is no PNG.
std::pair<unsigned, unsigned> PngSize(const fs::path& file) {
    const std::string d = ReadTextFile(file);
    if (d.size() < 24 || d.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || d.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        unsigned v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(d[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

// The value of a "Key=" line of a desktop entry; empty when there is none.
std::string DesktopValue(const std::string& entry, const std::string& key) {
    std::smatch m;
    const std::regex line("(^|\n)" + key + "=([^\n]*)");
    return std::regex_search(entry, m, line) ? m[2].str() : std::string();
}

} // namespace

TEST_F(Installed, PutsEveryFileInItsPlaceAndNothingBesideTheProgram) {
    const fs::path bin = Usr() / "bin";
    const fs::path program = bin / "fernwick";
    ASSERT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(fs::status(program).permissions() & fs::perms::others_exec, fs::perms::none);
    // The program folder holds the program only: no update file, no build-tree marker.
    std::set<std::string> inBin;
    for (const auto& e : fs::directory_iterator(bin))
        inBin.insert(e.path().filename().string());
    EXPECT_EQ(inBin, std::set<std::string>{"fernwick"});
    // The built program, by contrast, is marked as the build tree.
    EXPECT_TRUE(fs::is_regular_file(fs::path(FW_BINARY).parent_path() / "fernwick-build-tree"));

    EXPECT_EQ(ReadTextFile(Share() / "fernwick/newntsettings.dat"),
              ReadTextFile(fs::path(FW_SOURCE_DIR) / "res/newntsettings.dat"));
    EXPECT_TRUE(fs::is_regular_file(Share() / "applications" / (std::string(kAppId) + ".desktop")));
    EXPECT_TRUE(fs::is_regular_file(Share() / "metainfo" / (std::string(kAppId) + ".metainfo.xml")));
    EXPECT_TRUE(fs::is_regular_file(Share() / "man/man1/fernwick.1.gz"));
    for (unsigned size : {48u, 128u, 256u}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = Share() / "icons/hicolor" / dim / "apps" / (std::string(kAppId) + ".png");
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }
}

TEST_F(Installed, DesktopEntryNamesTheInstalledProgramAndIcon) {
    const std::string path = (Share() / "applications" / (std::string(kAppId) + ".desktop")).string();
    const std::string entry = ReadTextFile(path);
    EXPECT_EQ(DesktopValue(entry, "Name"), "Fernwick");
    EXPECT_EQ(DesktopValue(entry, "GenericName"), "Disk Cleaner");
    EXPECT_EQ(DesktopValue(entry, "Categories"), "Utility;System;Filesystem;");
    EXPECT_FALSE(DesktopValue(entry, "Comment").empty());
    EXPECT_FALSE(DesktopValue(entry, "Keywords").empty());
    EXPECT_TRUE(fs::exists(Usr() / "bin" / DesktopValue(entry, "Exec")));
    EXPECT_TRUE(fs::exists(Share() / "icons/hicolor/48x48/apps" / (DesktopValue(entry, "Icon") + ".png")));

    if (!OnPath("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils): entry not validated";
    const CommandResult r = RunCommand("", "desktop-file-validate", "'" + path + "'");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("error:"), std::string::npos) << r.out;
}

TEST_F(Installed, MetainfoIsValidAndItsScreenshotsExist) {
    const std::string path = (Share() / "metainfo" / (std::string(kAppId) + ".metainfo.xml")).string();
    const std::string info = ReadTextFile(path);
    EXPECT_NE(info.find("<id>" + std::string(kAppId) + "</id>"), std::string::npos);
    EXPECT_NE(info.find("<launchable type=\"desktop-id\">" + std::string(kAppId) + ".desktop</launchable>"),
              std::string::npos);
    // Each screenshot refers to one of the pictures in docs/screenshots by its name.
    const std::regex image("<image>https://[^<]*/([^/<]+\\.png)</image>");
    int screenshots = 0;
    for (std::sregex_iterator it(info.begin(), info.end(), image), end; it != end; ++it) {
        ++screenshots;
        EXPECT_TRUE(fs::is_regular_file(fs::path(FW_SOURCE_DIR) / "docs/screenshots" / (*it)[1].str()))
            << (*it)[1].str();
    }
    EXPECT_GE(screenshots, 1);

    if (!OnPath("appstreamcli"))
        GTEST_SKIP() << "appstreamcli is not installed (appstream): metainfo not validated";
    // Pedantic, and every remark counts: only what needs the network is left out.
    const CommandResult r =
        RunCommand("", "appstreamcli", "validate --no-net --pedantic '" + path + "'");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(std::regex_search(r.out, std::regex(R"((^|\n)[EWIP]: )"))) << r.out;
}

TEST_F(Installed, CarriesTheLicenceTheCopyrightAndTheChangelogDebianReads) {
    // The project's licence is the GPL, version 3, in full.
    const std::string licence = ReadTextFile(fs::path(FW_SOURCE_DIR) / "LICENSE");
    EXPECT_NE(licence.find("GNU GENERAL PUBLIC LICENSE\n                       Version 3, 29 June 2007"),
              std::string::npos);
    EXPECT_NE(licence.find("END OF TERMS AND CONDITIONS"), std::string::npos);

    // The package's copyright file, machine-readable, names it and where its text is.
    const fs::path doc = Share() / "doc/fernwick";
    const std::string copyright = ReadTextFile(doc / "copyright");
    EXPECT_TRUE(copyright.starts_with(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    EXPECT_NE(copyright.find("\nFiles: *\nCopyright: 2026 Quenby Works\nLicense: GPL-3+\n"),
              std::string::npos);
    EXPECT_NE(copyright.find("\nLicense: GPL-3+\n This program is free software"),
              std::string::npos);
    EXPECT_NE(copyright.find("/usr/share/common-licenses/GPL-3"), std::string::npos);

    // The changelog, compressed, opens with this version and ends with its signature line.
    const CommandResult changelog =
        RunCommand("", "gzip", "-dc '" + (doc / "changelog.Debian.gz").string() + "'");
    ASSERT_EQ(changelog.exitCode, 0) << changelog.out;
    EXPECT_TRUE(changelog.out.starts_with(std::string("fernwick (") + FERNWICK_VERSION_TEXT +
                                          "-1) unstable; urgency=medium\n"))
        << changelog.out;
    EXPECT_TRUE(std::regex_search(changelog.out, std::regex(R"(\n -- [^\n]+>  \w{3}, \d\d \w{3} \d{4} [\d:]{8} \+0000\n$)")))
        << changelog.out;
    // Nothing uncompressed beside them.
    std::set<std::string> docs;
    for (const auto& e : fs::directory_iterator(doc))
        docs.insert(e.path().filename().string());
    EXPECT_EQ(docs, (std::set<std::string>{"changelog.Debian.gz", "copyright"}));
}

TEST_F(Installed, ManualPageHasEverySwitchOfHelpAndTheExitCodes) {
    const CommandResult help = RunCommand("", FW_BINARY, "--help");
    ASSERT_EQ(help.exitCode, 0) << help.out;
    // The page as a reader sees it: roff's escaped minus signs read as plain ones.
    const CommandResult unzipped =
        RunCommand("", "gzip", "-dc '" + (Share() / "man/man1/fernwick.1.gz").string() + "'");
    ASSERT_EQ(unzipped.exitCode, 0) << unzipped.out;
    std::string page = unzipped.out;
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");

    // Every switch --help lists at the start of a line: /r, /p, ..., --preview, --help, ...
    const std::regex switchLine(R"((^|\n) +(/[a-z]|--[a-z]+))");
    std::set<std::string> switches;
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), switchLine), end; it != end; ++it)
        switches.insert((*it)[2].str());
    EXPECT_GE(switches.size(), 8u) << help.out;
    const size_t options = page.find(".SH OPTIONS");
    ASSERT_NE(options, std::string::npos);
    for (const std::string& s : switches)
        EXPECT_TRUE(page.find("\n.B " + s, options) != std::string::npos ||
                    page.find("\n.BI " + s, options) != std::string::npos)
            << s;
    for (const char* method : {"1022", "1023", "1024", "1025", "1026"})
        EXPECT_NE(page.find(method), std::string::npos) << method;
    const size_t exits = page.find(".SH EXIT STATUS");
    ASSERT_NE(exits, std::string::npos);
    for (const char* code : {"0", "1", "2"})
        EXPECT_NE(page.find(std::string(".B ") + code + "\n", exits), std::string::npos) << code;
    for (const char* file : {"settings.dat", "fwlog.txt", "newntsettings.dat", "/usr/share/fernwick/"})
        EXPECT_NE(page.find(file, page.find(".SH FILES")), std::string::npos) << file;

    if (!OnPath("man"))
        GTEST_SKIP() << "man is not installed: page not rendered";
    const CommandResult r = RunCommand("MANWIDTH=80", "man", "--warnings -l '" +
                                                              (Share() / "man/man1/fernwick.1.gz").string() +
                                                              "' 2>&1 >/dev/null");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

// Run as any user (root included), the installed program keeps its files in that user's data
// folder, seeded from the shipped update file under the prefix, and never writes beside itself.
TEST_F(Installed, ProgramFindsItsShippedProfilesThroughThePrefix) {
    TempDir home;
    const std::string env = "env -u FERNWICK_HOME -u XDG_DATA_HOME HOME='" + home.path().string() + "'";
    const std::string program = (Usr() / "bin/fernwick").string();

    const CommandResult version = RunCommand(env, program, "--version");
    EXPECT_EQ(version.exitCode, 0) << version.out;

    // A profile that looks in the (empty) home folder only, so the preview is quick.
    const CommandResult preview = RunCommand(env, program, "--preview '/pBackup Copies ' /dC");
    EXPECT_EQ(preview.exitCode, 0) << preview.out;
    EXPECT_TRUE(std::regex_search(preview.out, std::regex(R"((^|\n)# \d+ files, \d+ bytes)"))) << preview.out;
    // A name that is no shipped profile is refused: the one above was found.
    const CommandResult unknown = RunCommand(env, program, "--preview '/pNo Such Profile ' /dC");
    EXPECT_EQ(unknown.exitCode, 2) << unknown.out;

    const fs::path data = home.path() / ".local/share/Fernwick";
    EXPECT_TRUE(fs::exists(data / "settings.dat") || fs::exists(data / "newntsettings.dat"));
    EXPECT_TRUE(fs::is_regular_file(Share() / "fernwick/newntsettings.dat"));
    std::set<std::string> inBin;
    for (const auto& e : fs::directory_iterator(Usr() / "bin"))
        inBin.insert(e.path().filename().string());
    EXPECT_EQ(inBin, std::set<std::string>{"fernwick"});
}
