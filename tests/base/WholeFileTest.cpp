// Files read whole and replaced whole, on the real file system: what a save
// leaves behind when it works, and when it cannot.
#include "base/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// A folder of the test's own, emptied before and removed after.
class WholeFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() / ("qb-whole-file-" + std::string(info->name()));
        std::error_code ignored;
        fs::remove_all(root, ignored);
        fs::create_directories(root);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string At(const std::string& relative) const
    {
        return (root / fs::path(relative)).make_preferred().string();
    }

    static void Put(const std::string& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << path;
    }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every name under the test's folder, nested ones too.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            names.push_back(fs::relative(entry.path(), root).generic_string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root;
};

std::string Noise(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 7;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

TEST_F(WholeFile, ReplacesWhatWasThereAndReadsItBackByteForByte)
{
    const std::string path = At("settings.ini");
    const std::string contents[] = {
        "[Quillbrae]\r\nRateUrl=http://127.0.0.1:9/\r\n",
        std::string("nul\0in\0the\0middle\r\n\x1A", 19),
        "",              // a shorter file leaves nothing of the longer one
        Noise(3 << 20),  // more than one write's worth
        "x",
    };
    for (const std::string& bytes : contents) {
        SCOPED_TRACE(bytes.size());
        WholeFileReplace replaced = ReplaceWholeFile(path, bytes);
        ASSERT_TRUE(replaced.Ok()) << replaced.failure;
        EXPECT_TRUE(Get(path) == bytes);
        WholeFileRead read = ReadWholeFile(path, bytes.size());
        EXPECT_EQ(read.status, WholeFileRead::Status::Read) << read.failure;
        EXPECT_TRUE(read.bytes == bytes);
        EXPECT_TRUE(read.failure.empty());
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"settings.ini"}) << "a temporary file was left behind";
}

TEST_F(WholeFile, MakesTheMissingFoldersOnTheWay)
{
    const std::string path = At("Roaming/Quillbrae/deeper/quillbrae.ini");
    ASSERT_TRUE(ReplaceWholeFile(path, "[Window]\r\n").Ok());
    EXPECT_EQ(Get(path), "[Window]\r\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Roaming", "Roaming/Quillbrae", "Roaming/Quillbrae/deeper",
                                                 "Roaming/Quillbrae/deeper/quillbrae.ini"}));
}

TEST_F(WholeFile, ReadsSayWhyNothingCameBack)
{
    Put(At("eight"), "12345678");
    fs::create_directories(At("folder"));
    struct Case {
        const char* name;
        size_t largest;
        WholeFileRead::Status status;
    } const cases[] = {
        {"eight", 8, WholeFileRead::Status::Read},
        {"eight", 7, WholeFileRead::Status::TooLarge},
        {"none", 100, WholeFileRead::Status::Missing},
        {"no-folder/none", 100, WholeFileRead::Status::Missing},
        {"folder", 100, WholeFileRead::Status::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " within " + std::to_string(c.largest));
        WholeFileRead read = ReadWholeFile(At(c.name), c.largest);
        EXPECT_EQ(read.status, c.status);
        if (c.status == WholeFileRead::Status::Read) {
            EXPECT_EQ(read.bytes, "12345678");
        } else {
            EXPECT_TRUE(read.bytes.empty());
            EXPECT_NE(read.failure.find(fs::path(c.name).filename().string()), std::string::npos)
                << read.failure;
        }
    }
}

TEST_F(WholeFile, AFailedReplaceLeavesWhatWasThere)
{
    // A folder where the file would go, with something in it.
    fs::create_directories(At("taken.ini"));
    Put(At("taken.ini/inside"), "inside");
    // A file where a folder would have to be made.
    Put(At("plain"), "plain file");
    const std::vector<std::string> before = Names();

    for (const char* target : {"taken.ini", "plain/settings.ini"}) {
        SCOPED_TRACE(target);
        WholeFileReplace replaced = ReplaceWholeFile(At(target), "new contents");
        EXPECT_FALSE(replaced.Ok());
        EXPECT_NE(replaced.failure.find(fs::path(target).filename().string()), std::string::npos)
            << replaced.failure;
    }
    EXPECT_EQ(Names(), before) << "nothing added, nothing taken away";
    EXPECT_EQ(Get(At("taken.ini/inside")), "inside");
    EXPECT_EQ(Get(At("plain")), "plain file");
}

#ifdef _WIN32
TEST_F(WholeFile, AReadOnlyFileIsNotReplaced)
{
    const std::string path = At("locked.ini");
    Put(path, "[Quillbrae]\r\nUpdateTimer=60000\r\n");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ReplaceWholeFile(path, "[Quillbrae]\r\n").Ok());
    EXPECT_EQ(Get(path), "[Quillbrae]\r\nUpdateTimer=60000\r\n");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Names(), std::vector<std::string>{"locked.ini"});
}
#else
TEST_F(WholeFile, AWriteCutShortLeavesTheOldFileByteForByte)
{
    // A file size limit refuses writes past it as a full disk does, for
    // this process only.
    const std::string path = At("alerts.ini");
    std::string old = "[Alerts]\r\n";
    for (int i = 0; i < 63; ++i)
        old += "PAIR" + std::to_string(i) + "=above 1.2345; below 1.0123\r\n";
    Put(path, old);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    WholeFileReplace replaced = ReplaceWholeFile(path, old + old);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(replaced.Ok());
    EXPECT_NE(replaced.failure.find("alerts.ini"), std::string::npos) << replaced.failure;
    EXPECT_TRUE(Get(path) == old) << "the old file changed";
    EXPECT_EQ(Names(), std::vector<std::string>{"alerts.ini"}) << "a temporary file was left behind";
}

TEST_F(WholeFile, TheNewFileKeepsTheOldOnesPermissions)
{
    const std::string path = At("private.ini");
    Put(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(ReplaceWholeFile(path, "new").Ok());
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
#endif

}  // namespace
