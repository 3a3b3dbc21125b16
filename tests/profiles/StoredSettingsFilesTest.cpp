// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Settings and update files that are not what they should be: FIFOs, folders and devices in
// their place, damaged files kept aside, and a settings.dat that is a symbolic link.
#include "platform/DataFile.h"
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "profiles/SettingsFile.h"
#include "support/GuardedChild.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kMagic = "Fernwick 2.0, Data Stream Version 1.1\n";

std::string File(std::initializer_list<const char*> names) {
    std::string s = kMagic + std::to_string(names.size()) + "\n";
    for (const char* name : names)
        s += std::string(name) + "\n1069\n0\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n";
    return s;
}

std::vector<std::string> Names(const CProfileList& list) {
    std::vector<std::string> names;
    for (const CProfile& p : list)
        names.push_back(p.m_strName);
    return names;
}

// What reached the cleaning log's writer in this process.
std::vector<std::string> g_logged;
void Remember(const std::string& message) { g_logged.push_back(message); }

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool AnyContains(const std::vector<std::string>& texts, const std::string& part) {
    for (const std::string& t : texts)
        if (Contains(t, part))
            return true;
    return false;
}

size_t EntryCount(const fs::path& dir) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// A file of the given size made of text followed by a hole: nothing but the text is written.
void WriteSparse(const fs::path& path, const std::string& text, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

class StoredSettings : public ::testing::Test {
protected:
    ScopedTestHome home;
    fs::path At(const std::string& name) const { return home.program() / name; }

    void SetUp() override {
        g_logged.clear();
        SetDataFileReportLog(&Remember);
    }
    void TearDown() override { SetDataFileReportLog(nullptr); }

    // LoadAndMerge in a child that cannot hang the run; gives the number of profiles.
    ChildOutcome MergeGuarded(bool consume = true) {
        return RunGuarded([consume] {
            // Reading a device without end must fail for want of memory, not take the
            // machine's.
#ifndef __SANITIZE_ADDRESS__
            const rlimit limit{rlim_t(1) << 30, rlim_t(1) << 30};
            ::setrlimit(RLIMIT_AS, &limit);
#endif
            CProfileList store;
            store.LoadAndMerge(consume);
            return static_cast<int>(store.GetCount());
        });
    }
};

} // namespace

// --- Something other than a file in place of settings.dat or an update file -----------------

TEST_F(StoredSettings, FifoInPlaceOfSettingsIsLeftAloneWithoutWaiting) {
    ASSERT_EQ(::mkfifo(At("settings.dat").c_str(), 0600), 0);
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));

    const ChildOutcome merged = MergeGuarded();
    ASSERT_TRUE(merged.Exited(1)) << "signal " << merged.signal << ": " << merged.err;
    EXPECT_TRUE(fs::is_fifo(At("settings.dat")));
    // The shipped profile could not be saved, so the update file waits for the next start.
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat")), File({"Shipped"}));
    EXPECT_TRUE(Contains(merged.err, "fernwick: " + At("settings.dat").string() +
                                         " is a FIFO, not a regular file; it was left alone."))
        << merged.err;
}

TEST_F(StoredSettings, FifoInPlaceOfAnUpdateFileIsLeftAloneWithoutWaiting) {
    WriteTextFile(At("settings.dat"), File({"Mine"}));
    ASSERT_EQ(::mkfifo(At("newntsettings.dat").c_str(), 0600), 0);
    const ChildOutcome merged = MergeGuarded();
    ASSERT_TRUE(merged.Exited(1)) << "signal " << merged.signal << ": " << merged.err;
    EXPECT_TRUE(fs::is_fifo(At("newntsettings.dat")));
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Mine"}));
    EXPECT_TRUE(Contains(merged.err, At("newntsettings.dat").string() + " is a FIFO")) << merged.err;

    // The update file that is never read is removed with a consumed one, but only a file.
    fs::remove(At("newntsettings.dat"));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    ASSERT_EQ(::mkfifo(At("new95settings.dat").c_str(), 0600), 0);
    const ChildOutcome consumed = MergeGuarded();
    ASSERT_TRUE(consumed.Exited(2)) << "signal " << consumed.signal << ": " << consumed.err;
    EXPECT_FALSE(fs::exists(At("newntsettings.dat")));
    EXPECT_TRUE(fs::is_fifo(At("new95settings.dat")));
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Mine", "Shipped"}));
    EXPECT_TRUE(Contains(consumed.err, At("new95settings.dat").string() + " is a FIFO"))
        << consumed.err;
}

TEST_F(StoredSettings, FoldersInPlaceOfTheFilesAreLeftAlone) {
    WriteTextFile(At("settings.dat") / "inside", "keep");
    WriteTextFile(At("newntsettings.dat") / "inside", "keep too");
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_TRUE(store.IsEmpty());
    EXPECT_EQ(ReadTextFile(At("settings.dat") / "inside"), "keep");
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat") / "inside"), "keep too");
    EXPECT_TRUE(AnyContains(g_logged, At("settings.dat").string() + " is a folder"));
    EXPECT_TRUE(AnyContains(g_logged, At("newntsettings.dat").string() + " is a folder"));

    // A save neither replaces the folder nor writes into it.
    auto p = std::make_unique<CProfile>();
    p->m_strName = "New";
    store.AddTail(std::move(p));
    EXPECT_NE(store.Save().Text(), "");
    EXPECT_EQ(EntryCount(At("settings.dat")), 1u);
    EXPECT_EQ(EntryCount(home.program()), 2u); // no temporary file left either
}

TEST_F(StoredSettings, DevicesInPlaceOfTheFilesAreNeverRead) {
    // Read to its end, /dev/zero would be one endless line.
    fs::create_symlink("/dev/zero", At("settings.dat"));
    fs::create_symlink("/dev/zero", At("newntsettings.dat"));
    const ChildOutcome merged = MergeGuarded();
    ASSERT_TRUE(merged.Exited(0)) << "signal " << merged.signal << ": " << merged.err;
    EXPECT_TRUE(fs::is_symlink(At("settings.dat")));
    EXPECT_TRUE(fs::is_symlink(At("newntsettings.dat")));
    EXPECT_TRUE(Contains(merged.err, At("settings.dat").string() + " is a character device"))
        << merged.err;
    EXPECT_TRUE(Contains(merged.err, At("newntsettings.dat").string() + " is a character device"))
        << merged.err;
}

TEST_F(StoredSettings, SaveNeverReplacesAFifo) {
    ASSERT_EQ(::mkfifo(At("settings.dat").c_str(), 0600), 0);
    CProfileList store;
    auto p = std::make_unique<CProfile>();
    p->m_strName = "New";
    store.AddTail(std::move(p));
    EXPECT_NE(store.Save().Text(), "");
    EXPECT_TRUE(fs::is_fifo(At("settings.dat")));
    EXPECT_EQ(EntryCount(home.program()), 1u);
    EXPECT_TRUE(AnyContains(g_logged, At("settings.dat").string() + " is a FIFO"));
}

// --- Damaged files --------------------------------------------------------------------------

TEST_F(StoredSettings, OversizedSettingsFileIsKeptAsideAndTheStartGoesOn) {
    // Announces a profile, but is larger than any settings file can be.
    WriteSparse(At("settings.dat"), File({"Lost"}), static_cast<off_t>(kMaxDataFileSize + 1));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    CProfileList store;
    store.LoadAndMerge();

    EXPECT_EQ(Names(store), std::vector<std::string>{"Shipped"});
    ASSERT_TRUE(fs::is_regular_file(At("settings.dat.damaged")));
    EXPECT_EQ(fs::file_size(At("settings.dat.damaged")), kMaxDataFileSize + 1);
    // As for a missing file: the update's profiles make a new settings.dat.
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Shipped"}));
    EXPECT_FALSE(fs::exists(At("newntsettings.dat")));
    ASSERT_FALSE(g_logged.empty());
    EXPECT_EQ(g_logged.front(), At("settings.dat").string() +
                                    " is damaged: it is larger than 64 MiB; it was kept aside as " +
                                    At("settings.dat.damaged").string() + ".");
}

TEST_F(StoredSettings, LineOverOneMebibyteDamagesTheFileWhereverItIs) {
    const std::string atLimit(kMaxSettingsLine, 'x');
    const std::string overLimit(kMaxSettingsLine + 1, 'x');
    const std::string block = "\n1069\n0\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n";

    // A line of exactly the limit is a value like any other.
    WriteTextFile(At("settings.dat"), kMagic + "1\n" + atLimit + block);
    CProfileList whole;
    whole.LoadAndMerge();
    ASSERT_EQ(whole.GetCount(), 1u);
    EXPECT_EQ(whole.begin()->m_strName.size(), kMaxSettingsLine);
    EXPECT_FALSE(fs::exists(At("settings.dat.damaged")));

    const std::string texts[] = {
        kMagic + "1\n" + overLimit + block,        // a value
        kMagic + "1\nName" + block + overLimit,    // after the last profile, no line end
        overLimit + "\n" + kMagic + "1\nName" + block, // before the magic line
    };
    for (const std::string& text : texts) {
        fs::remove(At("settings.dat.damaged"));
        WriteTextFile(At("settings.dat"), text);
        CProfileList store;
        store.LoadAndMerge();
        EXPECT_TRUE(store.IsEmpty());
        EXPECT_FALSE(fs::exists(At("settings.dat")));
        EXPECT_EQ(fs::file_size(At("settings.dat.damaged")), text.size());
    }
    EXPECT_TRUE(AnyContains(g_logged, " is damaged: it has a line longer than 1 MiB; it was kept "
                                      "aside as " +
                                          At("settings.dat.damaged").string()));

    // The same made as a sparse file: the hole is one long line of zero bytes.
    fs::remove(At("settings.dat.damaged"));
    WriteSparse(At("settings.dat"), kMagic + "1\n", static_cast<off_t>(kMagic.size() + 2 + kMaxSettingsLine + 1));
    CProfileList sparse;
    sparse.LoadAndMerge();
    EXPECT_TRUE(sparse.IsEmpty());
    EXPECT_TRUE(fs::exists(At("settings.dat.damaged")));
}

TEST_F(StoredSettings, KeepingAsideNeverReplacesAnEarlierDamagedFile) {
    WriteTextFile(At("settings.dat.damaged"), "first damaged file\n");
    WriteTextFile(At("settings.dat.damaged.2"), "second damaged file\n");
    WriteSparse(At("settings.dat"), File({"Lost"}), static_cast<off_t>(kMaxDataFileSize + 7));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    CProfileList store;
    store.LoadAndMerge();

    EXPECT_EQ(ReadTextFile(At("settings.dat.damaged")), "first damaged file\n");
    EXPECT_EQ(ReadTextFile(At("settings.dat.damaged.2")), "second damaged file\n");
    EXPECT_EQ(fs::file_size(At("settings.dat.damaged.3")), kMaxDataFileSize + 7);
    EXPECT_TRUE(AnyContains(g_logged, "kept aside as " + At("settings.dat.damaged.3").string()));

    // Later saves write settings.dat and nothing else.
    ASSERT_EQ(store.Save().Text(), "");
    ASSERT_EQ(store.Save().Text(), "");
    EXPECT_EQ(ReadTextFile(At("settings.dat.damaged")), "first damaged file\n");
    EXPECT_EQ(ReadTextFile(At("settings.dat.damaged.2")), "second damaged file\n");
    EXPECT_EQ(fs::file_size(At("settings.dat.damaged.3")), kMaxDataFileSize + 7);
    EXPECT_EQ(EntryCount(home.program()), 4u);
}

TEST_F(StoredSettings, DamagedUpdateFileIsKeptAsideAndTheUsersFileStays) {
    WriteTextFile(At("settings.dat"), File({"Mine"}));
    WriteSparse(At("newntsettings.dat"), File({"Shipped"}),
                static_cast<off_t>(kMaxDataFileSize + 1));
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_EQ(Names(store), std::vector<std::string>{"Mine"});
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Mine"}));
    EXPECT_FALSE(fs::exists(At("newntsettings.dat")));
    EXPECT_EQ(fs::file_size(At("newntsettings.dat.damaged")), kMaxDataFileSize + 1);
}

TEST_F(StoredSettings, PreviewTellsOfDamageButMovesNothing) {
    WriteSparse(At("settings.dat"), File({"Lost"}), static_cast<off_t>(kMaxDataFileSize + 1));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    const ChildOutcome merged = MergeGuarded(false);
    ASSERT_TRUE(merged.Exited(1)) << merged.err;
    EXPECT_EQ(fs::file_size(At("settings.dat")), kMaxDataFileSize + 1);
    EXPECT_FALSE(fs::exists(At("settings.dat.damaged")));
    EXPECT_TRUE(fs::exists(At("newntsettings.dat")));
    EXPECT_TRUE(Contains(merged.err, At("settings.dat").string() +
                                         " is damaged: it is larger than 64 MiB; it was not read."))
        << merged.err;
    EXPECT_TRUE(g_logged.empty()); // a preview writes nothing, not even the log
}

// --- A settings.dat that was not read is never written over ------------------------------

namespace {

constexpr int kAsideNames = 1000; // as many as KeepAside tries

// Every name a damaged file could be kept aside as is taken.
void TakeEveryAsideName(const fs::path& file) {
    WriteTextFile(file.string() + ".damaged", "taken\n");
    for (int n = 2; n <= kAsideNames; ++n)
        WriteTextFile(file.string() + ".damaged." + std::to_string(n), "taken\n");
}

// A settings file whose profile is followed by a line too long for any settings file.
std::string WithOverlongLine(const char* name) {
    return File({name}) + std::string(kMaxSettingsLine + 1, 'x') + "\n";
}

// Runs body in a child as an ordinary user: root would write through any permission.
ChildOutcome AsOrdinaryUser(const std::function<int()>& body) {
    return RunGuarded([&body] {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 ||
                                 ::setuid(65534) != 0))
            return 99;
        return body();
    });
}

} // namespace

TEST_F(StoredSettings, DamagedSettingsThatCannotBeKeptAsideAreNeverWrittenOver) {
    const std::string path = At("settings.dat").string();
    const std::string damaged = WithOverlongLine("Mine");
    WriteTextFile(At("settings.dat"), damaged);
    TakeEveryAsideName(At("settings.dat"));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    CProfileList store;
    store.LoadAndMerge();

    EXPECT_EQ(ReadTextFile(At("settings.dat")), damaged);
    // The update file waits for a start that can save its profiles.
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat")), File({"Shipped"}));
    EXPECT_EQ(EntryCount(home.program()), 2u + kAsideNames);
    EXPECT_TRUE(AnyContains(g_logged, path +
                                          " is damaged: it has a line longer than 1 MiB; it could "
                                          "not be kept aside (File exists) and was not read. It is "
                                          "left as it is: no change to the profiles is saved "
                                          "while Fernwick runs."));
    const std::string refusal = "it is damaged (it has a line longer than 1 MiB) and was not "
                                "read, and it could not be kept aside (File exists). A save would "
                                "replace the profiles in it, so it is left as it is.";
    EXPECT_EQ(store.SaveRefusal().Text(), refusal);

    // Every later save of this run is refused, and the user is told why.
    auto p = std::make_unique<CProfile>();
    p->m_strName = "Added";
    store.AddHead(std::move(p));
    EXPECT_NE(store.Save().Text(), "");
    EXPECT_EQ(ProfilesNotSavedText(store.Save()), "Fernwick could not save your profiles to " + path +
                                                 ": " + refusal +
                                                 "\n\nThe change holds until Fernwick ends.");
    EXPECT_EQ(ReadTextFile(At("settings.dat")), damaged);
    EXPECT_EQ(EntryCount(home.program()), 2u + kAsideNames);

    // Over the size limit, the same.
    WriteSparse(At("settings.dat"), File({"Lost"}), static_cast<off_t>(kMaxDataFileSize + 1));
    const std::string oversized = ReadTextFile(At("settings.dat"));
    CProfileList again;
    again.LoadAndMerge();
    EXPECT_NE(again.Save().Text(), "");
    EXPECT_TRUE(ReadTextFile(At("settings.dat")) == oversized);
    EXPECT_TRUE(fs::exists(At("newntsettings.dat")));
    EXPECT_EQ(again.SaveRefusal().Text(),
              "it is damaged (it is larger than 64 MiB) and was not read, and it could not be "
              "kept aside (File exists). A save would replace the profiles in it, so it is left "
              "as it is.");
}

TEST_F(StoredSettings, DamagedSettingsInAReadOnlyFolderAreNeverWrittenOver) {
    const std::string damaged = WithOverlongLine("Mine");
    WriteTextFile(At("settings.dat"), damaged);
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    fs::permissions(home.root(), fs::perms(0755));
    fs::permissions(home.program(), fs::perms(0555));
    const ChildOutcome merged = AsOrdinaryUser([] {
        CProfileList store;
        store.LoadAndMerge();
        return !store.Save() || store.SaveRefusal().Text().empty() ? 1 : 0;
    });
    fs::permissions(home.program(), fs::perms(0755));

    ASSERT_TRUE(merged.Exited(0)) << "exit " << merged.exitCode << ": " << merged.err;
    EXPECT_TRUE(Contains(merged.err, "could not be kept aside (Permission denied) and was not "
                                     "read. It is left as it is"))
        << merged.err;
    EXPECT_EQ(ReadTextFile(At("settings.dat")), damaged);
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat")), File({"Shipped"}));
    EXPECT_EQ(EntryCount(home.program()), 2u);
}

TEST_F(StoredSettings, SettingsThatCannotBeOpenedAreNeverReplaced) {
    // A folder the user may write to holds a settings.dat they may not read: renaming a new
    // file over it would succeed.
    WriteTextFile(At("settings.dat"), File({"Mine"}));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    fs::permissions(home.root(), fs::perms(0755));
    fs::permissions(home.program(), fs::perms(0777));
    fs::permissions(At("settings.dat"), fs::perms(0000));
    const ChildOutcome merged = AsOrdinaryUser([] {
        CProfileList store;
        store.LoadAndMerge();
        if (!store.Save())
            return 10;
        return store.SaveRefusal().Text() == "it could not be read (Permission denied). A save would "
                                      "replace the profiles in it, so it is left as it is."
                   ? static_cast<int>(store.GetCount())
                   : 11;
    });
    fs::permissions(At("settings.dat"), fs::perms(0644));

    ASSERT_TRUE(merged.Exited(1)) << "exit " << merged.exitCode << ": " << merged.err;
    EXPECT_TRUE(Contains(merged.err, "cannot open " + At("settings.dat").string() +
                                         ": Permission denied. It is left as it is"))
        << merged.err;
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Mine"}));
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat")), File({"Shipped"}));
    EXPECT_EQ(EntryCount(home.program()), 2u);
}

TEST_F(StoredSettings, SettingsWhoseReadFailsAreNeverReplaced) {
    // Reading this file fails at once with EIO: it would pass for an empty settings file.
    fs::create_symlink("/proc/self/mem", At("settings.dat"));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    CProfileList store;
    store.LoadAndMerge();

    EXPECT_EQ(Names(store), std::vector<std::string>{"Shipped"});
    EXPECT_EQ(store.SaveRefusal().Text(), "it could not be read (Input/output error). A save would "
                                   "replace the profiles in it, so it is left as it is.");
    EXPECT_NE(store.Save().Text(), "");
    EXPECT_TRUE(AnyContains(g_logged, "cannot read " + At("settings.dat").string() +
                                          ": Input/output error. It is left as it is"));
    EXPECT_EQ(fs::read_symlink(At("settings.dat")), "/proc/self/mem");
    EXPECT_EQ(ReadTextFile(At("newntsettings.dat")), File({"Shipped"}));

    // A store that read its settings.dat saves as ever, and so does one for another folder.
    fs::remove(At("settings.dat"));
    CProfileList fresh;
    fresh.LoadAndMerge();
    EXPECT_EQ(fresh.SaveRefusal().Text(), "");
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({"Shipped"}));
    const ScopedTestHome other;
    EXPECT_EQ(store.SaveRefusal().Text(), "");
    EXPECT_EQ(store.Save().Text(), "");
}

TEST(SettingsReaderErrors, AFailedReadIsToldApartFromTheEnd) {
    TempDir dir;
    WriteTextFile(dir.path() / "f", "line\n");
    std::string line;
    CSettingsReader good(UniqueFd(::open((dir.path() / "f").c_str(), O_RDONLY | O_CLOEXEC)));
    ASSERT_TRUE(good.ReadRawLine(line));
    EXPECT_FALSE(good.ReadRawLine(line));
    EXPECT_FALSE(good.ReadError());

    CSettingsReader writeOnly(UniqueFd(::open((dir.path() / "f").c_str(), O_WRONLY | O_CLOEXEC)));
    EXPECT_FALSE(writeOnly.ReadRawLine(line));
    EXPECT_EQ(writeOnly.ReadError().Code(), EBADF);
    EXPECT_EQ(writeOnly.Damage(), "");
}

TEST(SettingsReaderLimits, LinesAndTotalsAtTheirLimits) {
    TempDir dir;
    const auto reader = [&](const std::string& text, size_t maxLine, std::uint64_t maxBytes) {
        WriteTextFile(dir.path() / "f", text);
        return CSettingsReader(UniqueFd(::open((dir.path() / "f").c_str(), O_RDONLY | O_CLOEXEC)),
                               maxLine, maxBytes);
    };
    std::string line;
    {
        // At the limit; "\r" counts, the line feed does not; zero bytes are kept.
        CSettingsReader r = reader(std::string("abcd\r\nab\0de", 11), 5, 100);
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_EQ(line, "abcd\r");
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_EQ(line, std::string("ab\0de", 5));
        EXPECT_FALSE(r.ReadRawLine(line));
        EXPECT_TRUE(r.Damage().empty());
    }
    {
        CSettingsReader r = reader("abcd\nabcdef\nabc\n", 5, 100);
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_FALSE(r.ReadRawLine(line));
        EXPECT_TRUE(line.empty());
        EXPECT_EQ(r.Damage(), "it has a line longer than 5 bytes");
        EXPECT_FALSE(r.ReadRawLine(line)); // and stays stopped
        EXPECT_TRUE(r.AtEnd());
    }
    {
        CSettingsReader r = reader("0123456789", 100, 10);
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_EQ(line, "0123456789");
        EXPECT_TRUE(r.Damage().empty());
    }
    {
        // Grown past the limit while being read: the unfinished line is not handed out.
        CSettingsReader r = reader("0123456789A", 100, 10);
        EXPECT_FALSE(r.ReadRawLine(line));
        EXPECT_TRUE(line.empty());
        EXPECT_EQ(r.Damage(), "it is larger than 10 bytes");
    }
    {
        // A line spread over several reads of the buffer.
        const std::string big(200000, 'y');
        CSettingsReader r = reader(big + "\nz", 200000, 1 << 20);
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_EQ(line, big);
        ASSERT_TRUE(r.ReadRawLine(line));
        EXPECT_EQ(line, "z");
    }
}

// --- settings.dat as a symbolic link --------------------------------------------------------

class LinkedSettings : public StoredSettings {
protected:
    fs::path Dotfiles() const { return home.root() / "dotfiles" / "fernwick"; }
    void SetUp() override {
        StoredSettings::SetUp();
        fs::create_directories(Dotfiles());
    }
    CProfileList LoadWithNew() {
        CProfileList store;
        store.Load("settings.dat", store);
        auto p = std::make_unique<CProfile>();
        p->m_strName = "New";
        p->m_lstPatterns = {"*.tmp"};
        store.AddTail(std::move(p));
        return store;
    }
};

TEST_F(LinkedSettings, SaveWritesBesideTheTargetAndTheLinkStays) {
    const fs::path target = Dotfiles() / "settings.dat";
    WriteTextFile(target, File({"Mine"}));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path relative = fs::path("..") / "dotfiles" / "fernwick" / "settings.dat";
    fs::create_symlink(relative, At("settings.dat"));

    CProfileList store = LoadWithNew();
    EXPECT_EQ(Names(store), (std::vector<std::string>{"Mine", "New"}));
    ASSERT_EQ(store.Save().Text(), "");

    ASSERT_TRUE(fs::is_symlink(At("settings.dat")));
    EXPECT_EQ(fs::read_symlink(At("settings.dat")), relative);
    EXPECT_EQ(ReadTextFile(target), File({"Mine", "New"}));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file left in either folder.
    EXPECT_EQ(EntryCount(home.program()), 1u);
    EXPECT_EQ(EntryCount(Dotfiles()), 1u);
}

TEST_F(LinkedSettings, ChainsAndDanglingLinksAreFollowedToTheirEnd) {
    // settings.dat -> absolute link in another folder -> the file.
    const fs::path target = Dotfiles() / "real.dat";
    WriteTextFile(target, File({"Mine"}));
    fs::create_symlink("real.dat", Dotfiles() / "middle.dat");
    fs::create_symlink(Dotfiles() / "middle.dat", At("settings.dat"));
    ASSERT_EQ(LoadWithNew().Save().Text(), "");
    EXPECT_TRUE(fs::is_symlink(At("settings.dat")));
    EXPECT_TRUE(fs::is_symlink(Dotfiles() / "middle.dat"));
    EXPECT_EQ(ReadTextFile(target), File({"Mine", "New"}));
    EXPECT_EQ(EntryCount(Dotfiles()), 2u);

    // A link whose file is not there yet: the save makes it.
    fs::remove(At("settings.dat"));
    fs::create_symlink(Dotfiles() / "fresh.dat", At("settings.dat"));
    ASSERT_EQ(LoadWithNew().Save().Text(), "");
    EXPECT_TRUE(fs::is_symlink(At("settings.dat")));
    EXPECT_EQ(ReadTextFile(Dotfiles() / "fresh.dat"), File({"New"}));

    // A loop of links is refused and stays as it was.
    fs::remove(At("settings.dat"));
    fs::create_symlink("settings.dat", At("settings.dat"));
    EXPECT_NE(LoadWithNew().Save().Text(), "");
    EXPECT_EQ(fs::read_symlink(At("settings.dat")), fs::path("settings.dat"));
    EXPECT_EQ(EntryCount(home.program()), 1u);
    EXPECT_TRUE(AnyContains(g_logged, "cannot save " + At("settings.dat").string()));
}

TEST_F(LinkedSettings, DamagedTargetIsKeptAsideAndTheLinkIsWrittenAnew) {
    const fs::path target = Dotfiles() / "settings.dat";
    WriteSparse(target, File({"Lost"}), static_cast<off_t>(kMaxDataFileSize + 1));
    fs::create_symlink(target, At("settings.dat"));
    WriteTextFile(At("newntsettings.dat"), File({"Shipped"}));
    CProfileList store;
    store.LoadAndMerge();

    EXPECT_EQ(Names(store), std::vector<std::string>{"Shipped"});
    EXPECT_EQ(fs::file_size(Dotfiles() / "settings.dat.damaged"), kMaxDataFileSize + 1);
    ASSERT_TRUE(fs::is_symlink(At("settings.dat")));
    EXPECT_EQ(ReadTextFile(target), File({"Shipped"}));
}
