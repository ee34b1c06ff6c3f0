#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"

#include "platform/core/TestProcessSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace pardova::platform {
namespace {

using pardova::testing::ReadAll;
using pardova::testing::TempDir;
using pardova::testing::WriteAll;

class FileStreamTest : public ::testing::Test {
protected:
    TempDir Dir;
};

TEST_F(FileStreamTest, CreateWriteSeekReadAndReopen) {
    const std::string path = Dir / "data.bin";
    {
        auto s = OpenNativeStream(path, StreamMode::CreateNoShare);
        EXPECT_EQ(s->Size(), 0);
        EXPECT_EQ(s->Write("hello, мир", 13), 13u);
        EXPECT_EQ(s->Size(), 13);
        EXPECT_EQ(s->Seek(7, SeekOrigin::Begin), 7);
        char buffer[16] = {};
        EXPECT_EQ(s->Read(buffer, sizeof buffer), 6u);
        EXPECT_EQ(std::string(buffer, 6), "мир");
        EXPECT_EQ(s->Read(buffer, 1), 0u);
    }
    {
        auto s = OpenNativeStream(path, StreamMode::OpenReadWriteDenyWrite);
        EXPECT_EQ(s->Seek(0, SeekOrigin::End), 13);
        EXPECT_EQ(s->Write("!", 1), 1u);
        EXPECT_EQ(s->Seek(-1, SeekOrigin::Current), 13);
    }
    EXPECT_EQ(ReadAll(path), "hello, мир!");
    {
        auto s = OpenNativeStream(path, StreamMode::OpenReadShareRead);
        char buffer[5] = {};
        EXPECT_EQ(s->Read(buffer, 5), 5u);
        EXPECT_EQ(std::string(buffer, 5), "hello");
    }
    // Create replaces whatever was there.
    OpenNativeStream(path, StreamMode::CreateNoShare).reset();
    EXPECT_EQ(ReadAll(path), "");
}

TEST_F(FileStreamTest, RefusedOpenNamesTheFullPath) {
    const std::string path = Dir / "missing.txt";
    for (const StreamMode mode : {StreamMode::OpenReadWriteDenyWrite, StreamMode::OpenReadShareRead}) {
        try {
            OpenNativeStream(path, mode);
            ADD_FAILURE() << "opened a missing file";
        } catch (const EFOpenError& e) {
            const std::string prefix = "Cannot open file \"" + path + "\". ";
            EXPECT_EQ(e.Message().rfind(prefix, 0), 0u) << e.Message();
            EXPECT_GT(e.Message().size(), prefix.size()) << "no reason given";
        }
    }
}

TEST_F(FileStreamTest, RefusedCreateNamesTheFullPathOfARelativeName) {
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(Dir.Path());
    try {
        OpenNativeStream(std::string("no-such-folder") + ((kNativePathStyle == PathStyle::Windows) ? "\\" : "/") +
                             "x.txt",
                         StreamMode::CreateNoShare);
        ADD_FAILURE() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        const std::string full =
            Dir / "no-such-folder" + ((kNativePathStyle == PathStyle::Windows) ? "\\" : "/") + "x.txt";
        const std::string prefix = "Cannot create file \"" + full + "\". ";
        EXPECT_EQ(e.Message().rfind(prefix, 0), 0u) << e.Message();
        EXPECT_GT(e.Message().size(), prefix.size()) << "no reason given";
    }
    std::filesystem::current_path(saved);
}

TEST_F(FileStreamTest, StreamErrorsAreExceptions) {
    EXPECT_THROW(OpenNativeStream(Dir / "a/b", StreamMode::OpenReadShareRead), Exception);
    EXPECT_THROW(OpenNativeStream(Dir / "a/b", StreamMode::OpenReadShareRead), EFileStreamError);
}

TEST_F(FileStreamTest, FolderIsNeitherOpenedNorCreated) {
    std::filesystem::create_directory(Dir.Path() / "sub");
    EXPECT_THROW(OpenNativeStream(Dir / "sub", StreamMode::OpenReadWriteDenyWrite), EFOpenError);
    EXPECT_THROW(OpenNativeStream(Dir / "sub", StreamMode::CreateNoShare), EFCreateError);
}

struct SharingCase {
    StreamMode Holder;
    StreamMode Second;
    bool Allowed;
};

const char* ModeName(StreamMode m) {
    switch (m) {
    case StreamMode::CreateNoShare:
        return "CreateNoShare";
    case StreamMode::OpenReadWriteDenyWrite:
        return "OpenReadWriteDenyWrite";
    case StreamMode::OpenReadShareRead:
        return "OpenReadShareRead";
    case StreamMode::CreateNewNoShare:
        return "CreateNewNoShare";
    }
    return "?";
}

void PrintTo(const SharingCase& c, std::ostream* os) { *os << ModeName(c.Holder) << " then " << ModeName(c.Second); }

class SharingTest : public ::testing::TestWithParam<SharingCase> {};

TEST_P(SharingTest, SecondOpenerGetsWhatTheShareModesAllow) {
    TempDir dir;
    const std::string path = dir / "shared.txt";
    WriteAll(path, "keep me");
    const SharingCase c = GetParam();
    auto holder = OpenNativeStream(path, c.Holder);
    if (c.Holder == StreamMode::CreateNoShare) {
        holder->Write("keep me", 7);
    }
    if (c.Allowed) {
        EXPECT_NO_THROW(OpenNativeStream(path, c.Second));
    } else if (c.Second == StreamMode::CreateNoShare) {
        EXPECT_THROW(OpenNativeStream(path, c.Second), EFCreateError);
    } else {
        EXPECT_THROW(OpenNativeStream(path, c.Second), EFOpenError);
    }
    holder.reset();
    // A refused opener never truncates or touches the holder's content.
    EXPECT_EQ(ReadAll(path), "keep me");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SharingTest,
    ::testing::Values(SharingCase{StreamMode::OpenReadShareRead, StreamMode::OpenReadShareRead, true},
                      SharingCase{StreamMode::OpenReadShareRead, StreamMode::OpenReadWriteDenyWrite, false},
                      SharingCase{StreamMode::OpenReadShareRead, StreamMode::CreateNoShare, false},
                      SharingCase{StreamMode::OpenReadWriteDenyWrite, StreamMode::OpenReadWriteDenyWrite, false},
                      SharingCase{StreamMode::OpenReadWriteDenyWrite, StreamMode::OpenReadShareRead, false},
                      SharingCase{StreamMode::OpenReadWriteDenyWrite, StreamMode::CreateNoShare, false},
                      SharingCase{StreamMode::CreateNoShare, StreamMode::OpenReadShareRead, false},
                      SharingCase{StreamMode::CreateNoShare, StreamMode::OpenReadWriteDenyWrite, false}));

TEST_F(FileStreamTest, ReleasedOnDestruction) {
    const std::string path = Dir / "once.txt";
    for (int i = 0; i < 3; ++i) {
        auto s = OpenNativeStream(path, StreamMode::CreateNoShare);
        EXPECT_EQ(s->Write("x", 1), 1u);
    }
    EXPECT_EQ(ReadAll(path), "x");
}

} // namespace
} // namespace pardova::platform
