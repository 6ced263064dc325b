// The files a careless or hostile user leaves for the program: reading takes
// regular files only, within a limit and without ever blocking; an output
// reaches its final name complete or not at all, never through a link.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/baubles-files-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    // Every name in the folder, hidden ones included.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        DIR* d = opendir(path.c_str());
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
        return out;
    }
};

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(ReadFile, TakesOnlyRegularFilesWithinTheLimitAndNeverBlocks) {
    TempDir dir;
    writeFile(dir / "ok", "hello");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero").c_str()), 0);
    ASSERT_EQ(symlink((dir / "ok").c_str(), (dir / "link").c_str()), 0);
    writeFile(dir / "big", "");
    ASSERT_EQ(truncate((dir / "big").c_str(), 1 << 20), 0);  // sparse: costs no disk

    std::vector<uint8_t> bytes;
    std::string reason;
    EXPECT_EQ(platformReadFile((dir / "ok").c_str(), 100, bytes, reason), FileRead::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");
    // A link to a regular file is an ordinary way to lay out assets.
    EXPECT_EQ(platformReadFile((dir / "link").c_str(), 100, bytes, reason), FileRead::Ok);
    EXPECT_EQ(platformReadFile((dir / "none").c_str(), 100, bytes, reason), FileRead::Missing);

    // A FIFO with no writer would block an ordinary open forever.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platformReadFile((dir / "fifo").c_str(), 100, bytes, reason), FileRead::Refused);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_NE(reason.find("FIFO"), std::string::npos) << reason;

    EXPECT_EQ(platformReadFile((dir / "folder").c_str(), 100, bytes, reason), FileRead::Refused);
    EXPECT_NE(reason.find("folder"), std::string::npos) << reason;
    EXPECT_EQ(platformReadFile((dir / "zero").c_str(), 100, bytes, reason), FileRead::Refused);
    EXPECT_NE(reason.find("device"), std::string::npos) << reason;
    EXPECT_TRUE(bytes.empty());

    EXPECT_EQ(platformReadFile((dir / "big").c_str(), (1 << 20) - 1, bytes, reason), FileRead::Refused);
    EXPECT_NE(reason.find("larger than"), std::string::npos) << reason;
    EXPECT_EQ(platformReadFile((dir / "big").c_str(), 1 << 20, bytes, reason), FileRead::Ok);
    EXPECT_EQ(bytes.size(), size_t(1) << 20);
}

TEST(Outputs, FinalNamesGetCompleteFilesOnlyAndLinksAreLeftAlone) {
    TempDir dir;
    std::string reason;

    // Written privately, then renamed: nothing under the final name before.
    PlatformOutput* out = platformCreateOutput(dir / "a.png", reason);
    ASSERT_NE(out, nullptr) << reason;
    ASSERT_TRUE(platformWriteOutput(out, "part one,", 9, reason));
    EXPECT_EQ(access((dir / "a.png").c_str(), F_OK), -1);
    const std::string privateName = platformOutputPath(out);
    EXPECT_EQ(privateName.rfind(dir / ".a.png.", 0), 0u) << privateName;
    ASSERT_TRUE(platformWriteOutput(out, " two", 4, reason));
    ASSERT_TRUE(platformCommitOutput(out, reason)) << reason;
    EXPECT_EQ(readText(dir / "a.png"), "part one, two");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.png"});

    // An existing regular file is replaced; a discarded output leaves it be.
    out = platformCreateOutput(dir / "a.png", reason);
    ASSERT_NE(out, nullptr);
    platformWriteOutput(out, "new", 3, reason);
    platformDiscardOutput(out);
    EXPECT_EQ(readText(dir / "a.png"), "part one, two");
    out = platformCreateOutput(dir / "a.png", reason);
    platformWriteOutput(out, "new", 3, reason);
    ASSERT_TRUE(platformCommitOutput(out, reason));
    EXPECT_EQ(readText(dir / "a.png"), "new");

    // A link at the final name is refused up front, and again if it appears
    // while the output is being written; its target is never touched.
    writeFile(dir / "target", "precious");
    ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "b.png").c_str()), 0);
    EXPECT_FALSE(platformCheckOutputFile(dir / "b.png", reason));
    EXPECT_NE(reason.find("symbolic link"), std::string::npos) << reason;
    out = platformCreateOutput(dir / "c.png", reason);
    platformWriteOutput(out, "x", 1, reason);
    ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "c.png").c_str()), 0);
    EXPECT_FALSE(platformCommitOutput(out, reason));
    EXPECT_EQ(readText(dir / "target"), "precious");
    struct stat st;
    ASSERT_EQ(lstat((dir / "c.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.names().size(), 4u) << "a private file was left behind";  // a.png target b.png c.png
}

TEST(Outputs, UnusableNamesAreRefusedWithAReason) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    writeFile(dir / "file", "x");
    std::string reason;
    const std::vector<std::string> badFiles = {
        "",         dir / "folder",        dir / "folder/",   dir / "fifo",
        dir / "..", dir / "missing/a.mp4", dir / "file/a.mp4"};
    for (const std::string& path : badFiles) {
        reason.clear();
        EXPECT_FALSE(platformCheckOutputFile(path, reason)) << path;
        EXPECT_FALSE(reason.empty()) << path;
    }
    EXPECT_TRUE(platformCheckOutputFile(dir / "file", reason)) << reason;
    EXPECT_TRUE(platformCheckOutputFile(dir / "new.mp4", reason)) << reason;

    EXPECT_FALSE(platformCheckOutputFolder("", reason));
    EXPECT_FALSE(platformCheckOutputFolder(dir / "file", reason));
    EXPECT_FALSE(platformCheckOutputFolder(dir / "missing", reason));
    EXPECT_TRUE(platformCheckOutputFolder(dir / "folder", reason)) << reason;
    // A folder we may not create files in (root may, whatever the mode).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod((dir / "folder").c_str(), 0500), 0);
        EXPECT_FALSE(platformCheckOutputFolder(dir / "folder", reason));
        EXPECT_NE(reason.find("ermission"), std::string::npos) << reason;
        chmod((dir / "folder").c_str(), 0700);
    }
    // The checks leave nothing behind.
    EXPECT_EQ(dir.names().size(), 3u);
}

TEST(Outputs, FoldersAreProvedBeforeAnyIsMadeAndAFailureTakesThemBack) {
    TempDir dir;
    writeFile(dir / "file", "x");
    std::string reason;
    // Makeable: nothing is made by the check.
    EXPECT_TRUE(platformCheckFoldersCanBeMade(dir / "a/b/c", 15, reason)) << reason;
    EXPECT_TRUE(platformCheckFoldersCanBeMade(dir.path, 15, reason)) << reason;
    // Not makeable: a file on the way, a part over NAME_MAX, a path over PATH_MAX.
    const std::string part(250, 'p');
    std::string deep = dir.path;
    while (deep.size() < 5000) deep += "/" + part;
    for (const std::string& bad : {dir / "file/a", dir / (part + part), deep, std::string()}) {
        reason.clear();
        EXPECT_FALSE(platformCheckFoldersCanBeMade(bad, 15, reason)) << bad.substr(0, 80);
        EXPECT_FALSE(reason.empty());
    }
    EXPECT_EQ(dir.names().size(), 1u) << "a check made something";
    // A make that fails half-way takes back what it made.
    EXPECT_FALSE(platformMakeFolders(dir / ("x/y/" + part + part), reason));
    EXPECT_EQ(dir.names().size(), 1u) << "a failed make left folders";
    EXPECT_TRUE(platformMakeFolders(dir / "x/y", reason)) << reason;
}

TEST(Outputs, AWriteOverTheFileSizeLimitSaysSo) {
    TempDir dir;
    std::string reason;
    PlatformOutput* out = platformCreateOutput(dir / "big.png", reason);
    ASSERT_NE(out, nullptr);
    // SIGXFSZ ignored, as the program has it: the write fails with EFBIG.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{}, small{4096, 4096};
    getrlimit(RLIMIT_FSIZE, &old);
    small.rlim_max = old.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::vector<char> bytes(8192, 'x');
    const bool wrote = platformWriteOutput(out, bytes.data(), bytes.size(), reason);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(reason, "the file size limit was reached");
    platformDiscardOutput(out);
    EXPECT_TRUE(dir.names().empty());
}
