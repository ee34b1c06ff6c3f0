// The clean-up of a test's temporary folder: every entry that it cannot remove fails the test, named with
// the system's reason, and everything else goes.

#include "platform/core/TestFsSupport.h"
#include "support/TestRemoveFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>

#include <cerrno>
#include <functional>
#include <string>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

using namespace pardova::testing;
using ::testing::HasSubstr;

class RemoveTestFolderTest : public TempFolderTest {
protected:
    // Makes the file impossible to remove: read-only on Windows; on Linux immutable as root (root removes
    // anything else), else in a folder that takes no changes. The reason the system then gives, or false
    // when this machine cannot make such a file.
    bool MakeUnremovable(const std::string& folder, const std::string& file, std::string* reason) {
#ifdef _WIN32
        // The runtime's text for the system's refusal is its own: only that there is one is checked.
        (void)folder;
        MakeReadOnly(file);
        reason->clear();
        return true;
#elif defined(__linux__)
        if (::geteuid() != 0) {
            MakeReadOnly(folder);
            FUndo = [folder] { MakeWritable(folder); };
            *reason = std::generic_category().message(EACCES);
            return true;
        }
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool made = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        int immutable = flags | FS_IMMUTABLE_FL;
        made = made && ::ioctl(fd, FS_IOC_SETFLAGS, &immutable) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        FUndo = [file, flags] {
            const int again = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            int restored = flags;
            ::ioctl(again, FS_IOC_SETFLAGS, &restored);
            ::close(again);
        };
        *reason = std::generic_category().message(EPERM);
        return made;
#else
        (void)folder;
        (void)file;
        (void)reason;
        return false;
#endif
    }

    void Undo(const std::string& file) {
#ifdef _WIN32
        MakeWritable(file);
#else
        (void)file;
        if (FUndo) {
            FUndo();
        }
#endif
    }

private:
    std::function<void()> FUndo;
};

TEST_F(RemoveTestFolderTest, WhatCannotBeRemovedFailsTheTestWithItsPathAndTheReason) {
    MakeDirs("tree/locked");
    MakeDirs("tree/other/deeper");
    WriteFile(At("tree/locked/kept"), "stays");
    WriteFile(At("tree/other/deeper/gone"), "goes");
    WriteFile(At("tree/locked-sibling"), "goes");
    std::string reason;
    if (!MakeUnremovable(At("tree/locked"), At("tree/locked/kept"), &reason)) {
        Undo(At("tree/locked/kept"));
        GTEST_SKIP() << "no file can be made impossible to remove here (needs a file system with flags)";
    }

    ::testing::TestPartResultArray failures;
    {
        const ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        RemoveTestFolder(PathFromUtf8(At("tree")));
    }
    Undo(At("tree/locked/kept"));

    // The file that stays is named with the reason; the folders above it cannot go either.
    ASSERT_GE(failures.size(), 1);
    const std::string first = failures.GetTestPartResult(0).message();
    EXPECT_TRUE(failures.GetTestPartResult(0).nonfatally_failed());
    EXPECT_THAT(first, HasSubstr(At("tree/locked/kept")));
    EXPECT_THAT(first, HasSubstr(": cannot remove it: " + reason));
    EXPECT_GT(first.size(), first.find(": cannot remove it: ") + std::string(": cannot remove it: ").size());
    for (int i = 1; i < failures.size(); ++i) {
        EXPECT_THAT(failures.GetTestPartResult(i).message(), HasSubstr(At("tree"))) << i;
    }
    EXPECT_EQ(ReadFile(At("tree/locked/kept")), "stays");
    EXPECT_FALSE(Exists(At("tree/other")));
    EXPECT_FALSE(Exists(At("tree/locked-sibling")));

    // Once it can go, all of it goes, and nothing fails.
    ::testing::TestPartResultArray none;
    {
        const ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &none);
        RemoveTestFolder(PathFromUtf8(At("tree")));
    }
    EXPECT_EQ(none.size(), 0);
    EXPECT_FALSE(Exists(At("tree")));
}

} // namespace
