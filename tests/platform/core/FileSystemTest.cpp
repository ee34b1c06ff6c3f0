// The native file system, on real files in a temporary folder per test.

#include "platform/core/FileSystem.h"

#include "platform/core/Exceptions.h"
#include "platform/core/TestForwardingFs.h"
#include "platform/core/TestFsSupport.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#ifdef _WIN32
#include "platform/core/win32/WindowsSupport.h"
#else
#include "platform/core/posix/PosixSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pardova::platform {
namespace {

using namespace pardova::testing;

class NativeFsTest : public TempFolderTest {
protected:
    FileSystem& fs = NativeFs();

    // A chain of folders made through the file system itself, whose path (with its final separator) is
    // longer than the 260 characters the platform's plain calls take; the path of the deepest one.
    std::string MakeDeepFolder() {
        std::string relative;
        std::string path = Root();
        while (path.size() < 400) {
            relative += std::string(40, 'd') + "/";
            path = At(relative);
            EXPECT_TRUE(fs.MakeDirectory(path)) << path.size();
        }
        return path;
    }

    std::map<std::string, uint32_t> List(const std::string& pattern) {
        std::map<std::string, uint32_t> entries;
        auto search = fs.FindFirst(pattern);
        if (search == nullptr) {
            return entries;
        }
        DirEntry entry;
        while (search->Next(entry)) {
            EXPECT_TRUE(entries.emplace(entry.Name, entry.Attributes).second) << "twice: " << entry.Name;
        }
        return entries;
    }
};

TEST_F(NativeFsTest, SearchYieldsEveryEntryWithItsFolderBitAndTheDotEntries) {
    MakeDirs("sub");
    WriteFile(At("plain"), "x");
    WriteFile(At("with.dot"), "x");
    WriteFile(At("Файл.txt"), "x");
    const auto entries = List(Root() + "*.*");
    ASSERT_EQ(entries.size(), 6u);
    for (const char* name : {".", "..", "sub"}) {
        ASSERT_TRUE(entries.count(name)) << name;
        EXPECT_NE(entries.at(name) & kAttrDirectory, 0u) << name;
    }
    for (const char* name : {"plain", "with.dot", "Файл.txt"}) {
        ASSERT_TRUE(entries.count(name)) << name;
        EXPECT_EQ(entries.at(name) & kAttrDirectory, 0u) << name;
    }
}

TEST_F(NativeFsTest, SearchMatchesNamePatterns) {
    WriteFile(At("a.txt"), "");
    WriteFile(At("b.txt"), "");
    WriteFile(At("a.log"), "");
    const auto texts = List(Root() + "*.txt");
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts.count("a.txt") && texts.count("b.txt"));
    const auto one = List(Root() + "a.log");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(one.count("a.log"));
    EXPECT_EQ(List(Root() + "?.log").size(), 1u);
}

TEST_F(NativeFsTest, SearchThatCannotStartYieldsNothing) {
    WriteFile(At("file"), "");
    EXPECT_EQ(fs.FindFirst(At("missing/*.*")), nullptr);
    EXPECT_EQ(fs.FindFirst(Root() + "nothing-matches*"), nullptr);
    EXPECT_EQ(fs.FindFirst(At("file/*.*")), nullptr);
}

TEST_F(NativeFsTest, AttributesAndTheErrorsThatMeanNothingIsThere) {
    MakeDirs("dir");
    WriteFile(At("file"), "abc");
    uint32_t error = 0;
    ASSERT_TRUE(fs.GetAttributes(At("dir"), &error).has_value());
    EXPECT_NE(*fs.GetAttributes(At("dir"), &error) & kAttrDirectory, 0u);
    ASSERT_TRUE(fs.GetAttributes(At("file"), &error).has_value());
    EXPECT_EQ(*fs.GetAttributes(At("file"), &error) & kAttrDirectory, 0u);

    EXPECT_FALSE(fs.GetAttributes(At("missing"), &error));
    EXPECT_EQ(error, kErrFileNotFound);
    error = 0;
    EXPECT_FALSE(fs.GetAttributes(At("file/below"), &error));
    EXPECT_TRUE(error == kErrPathNotFound || error == kErrFileNotFound) << error;
    error = 0;
    EXPECT_FALSE(fs.GetAttributeData(At("missing/x"), &error));
    EXPECT_TRUE(error == kErrPathNotFound || error == kErrFileNotFound) << error;
}

TEST_F(NativeFsTest, AttributeDataGivesSizeAndTime) {
    WriteFile(At("file"), std::string(12345, 'z'));
    ShiftWriteTime(At("file"), std::chrono::seconds(0));
    MakeDirs("dir");
    const auto file = fs.GetAttributeData(At("file"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size, 12345u);
    EXPECT_EQ(file->Attributes & kAttrDirectory, 0u);
    const auto dir = fs.GetAttributeData(At("dir"));
    ASSERT_TRUE(dir);
    EXPECT_NE(dir->Attributes & kAttrDirectory, 0u);
    EXPECT_EQ(dir->Size, 0u);
    ShiftWriteTime(At("file"), std::chrono::seconds(-3600));
    const auto earlier = fs.GetAttributeData(At("file"));
    ASSERT_TRUE(earlier);
    EXPECT_EQ(file->LastWriteTime - earlier->LastWriteTime, 3600ull * 10000000ull);
}

#ifndef _WIN32
TEST_F(NativeFsTest, PosixTimesCountFrom1601In100NanosecondSteps) {
    WriteFile(At("file"), "");
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, At("file").c_str(), times, 0), 0);
    const auto data = fs.GetAttributeData(At("file"));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->LastWriteTime, (1700000000ull + 11644473600ull) * 10000000ull + 1234567ull);
}

TEST_F(NativeFsTest, PosixAttributeBitsForHiddenNamesAndLinks) {
    MakeDirs("dir");
    WriteFile(At(".hidden"), "");
    WriteFile(At("file"), "");
    ASSERT_EQ(::symlink(At("dir").c_str(), At("dirlink").c_str()), 0);
    ASSERT_EQ(::symlink(At("file").c_str(), At("filelink").c_str()), 0);
    ASSERT_EQ(::symlink(At("gone").c_str(), At("dangling").c_str()), 0);
    uint32_t error = 0;
    EXPECT_EQ(fs.GetAttributes(At(".hidden"), &error), kAttrHidden);
    EXPECT_EQ(fs.GetAttributes(At("dirlink"), &error), kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(fs.GetAttributes(At("filelink"), &error), kAttrReparsePoint);
    EXPECT_EQ(fs.GetAttributes(At("dangling"), &error), kAttrReparsePoint);
    const auto entries = List(Root() + "*.*");
    EXPECT_EQ(entries.at("dirlink"), kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(entries.at(".hidden"), kAttrHidden);
    EXPECT_EQ(entries.at("dangling"), kAttrReparsePoint);
    EXPECT_EQ(entries.at("."), kAttrDirectory);
}
#endif

TEST_F(NativeFsTest, OpeningForReadingNeedsBackupSemanticsForFolders) {
    MakeDirs("dir");
    WriteFile(At("file"), "");
    uint32_t error = 0;
    EXPECT_TRUE(fs.CanOpenForReading(At("file"), false, &error));
    EXPECT_TRUE(fs.CanOpenForReading(At("dir"), true, &error));
    EXPECT_FALSE(fs.CanOpenForReading(At("dir"), false, &error));
    EXPECT_FALSE(fs.CanOpenForReading(At("missing"), false, &error));
    EXPECT_EQ(error, kErrFileNotFound);
}

TEST_F(NativeFsTest, CopyReplacesContentAndCarriesTheWriteTime) {
    // Large enough to take several rounds of the copy loop, and patterned so that a misplaced block shows.
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7919) >> 5);
    }
    WriteFile(At("source"), big);
    ShiftWriteTime(At("source"), std::chrono::seconds(-86400));
    WriteFile(At("target"), std::string(5 * 1024 * 1024, 'x')); // longer: the rest must not survive
    ASSERT_TRUE(fs.CopyFileReplacing(At("source"), At("target")));
    EXPECT_EQ(ReadFile(At("target")), big);
    const auto source = fs.GetAttributeData(At("source"));
    const auto target = fs.GetAttributeData(At("target"));
    ASSERT_TRUE(source && target);
    EXPECT_EQ(target->LastWriteTime, source->LastWriteTime);
    EXPECT_EQ(target->Size, source->Size);

    ASSERT_TRUE(fs.CopyFileReplacing(At("source"), At("new")));
    EXPECT_EQ(ReadFile(At("new")), big);
}

TEST_F(NativeFsTest, CopyFailsWithoutHarm) {
    WriteFile(At("source"), "new content");
    MakeDirs("folder");
    WriteFile(At("folder/inside"), "kept");
    EXPECT_FALSE(fs.CopyFileReplacing(At("missing"), At("target")));
    EXPECT_FALSE(Exists(At("target")));
    EXPECT_FALSE(fs.CopyFileReplacing(At("source"), At("folder")));
    EXPECT_EQ(ReadFile(At("folder/inside")), "kept");
    EXPECT_FALSE(fs.CopyFileReplacing(At("source"), At("no/such/folder/target")));
    EXPECT_FALSE(fs.CopyFileReplacing(At("source"), At("source")));
    EXPECT_EQ(ReadFile(At("source")), "new content");
}

TEST_F(NativeFsTest, CopyLeavesAReadOnlyTargetAsItIs) {
    WriteFile(At("source"), "new content");
    WriteFile(At("readonly"), "old content");
    MakeReadOnly(At("readonly"));
    EXPECT_FALSE(fs.CopyFileReplacing(At("source"), At("readonly")));
    EXPECT_EQ(ReadFile(At("readonly")), "old content");
    MakeWritable(At("readonly"));
}

#ifndef _WIN32
TEST_F(NativeFsTest, PosixCopyCarriesPermissionBitsAndNeverWritesThroughAliasesOrDanglingLinks) {
    WriteFile(At("script"), "#!/bin/sh\n");
    ASSERT_EQ(::chmod(At("script").c_str(), 0750), 0);
    ASSERT_TRUE(fs.CopyFileReplacing(At("script"), At("copy")));
    struct stat st {};
    ASSERT_EQ(::stat(At("copy").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);

    ASSERT_EQ(::symlink(At("elsewhere").c_str(), At("dangling").c_str()), 0);
    EXPECT_FALSE(fs.CopyFileReplacing(At("script"), At("dangling")));
    EXPECT_FALSE(Exists(At("elsewhere")));

    ASSERT_EQ(::link(At("script").c_str(), At("hardlink").c_str()), 0);
    EXPECT_FALSE(fs.CopyFileReplacing(At("script"), At("hardlink")));
    EXPECT_EQ(ReadFile(At("script")), "#!/bin/sh\n");
}
#endif

TEST_F(NativeFsTest, FoldersAreMadeOneLevelAtATime) {
    EXPECT_TRUE(fs.MakeDirectory(At("one")));
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(At("one"))));
    EXPECT_FALSE(fs.MakeDirectory(At("one")));
    EXPECT_FALSE(fs.MakeDirectory(At("two/three")));
    EXPECT_FALSE(Exists(At("two")));
}

TEST_F(NativeFsTest, MoveNeverReplacesAndRemoveDeletesFilesOnly) {
    WriteFile(At("a"), "A");
    WriteFile(At("b"), "B");
    EXPECT_FALSE(fs.MoveNoReplace(At("a"), At("b")));
    EXPECT_EQ(ReadFile(At("a")), "A");
    EXPECT_EQ(ReadFile(At("b")), "B");
    EXPECT_TRUE(fs.MoveNoReplace(At("a"), At("c")));
    EXPECT_FALSE(Exists(At("a")));
    EXPECT_EQ(ReadFile(At("c")), "A");

    MakeDirs("dir");
    EXPECT_FALSE(fs.RemoveFile(At("dir")));
    EXPECT_TRUE(Exists(At("dir")));
    EXPECT_TRUE(fs.RemoveFile(At("c")));
    EXPECT_FALSE(Exists(At("c")));
    EXPECT_FALSE(fs.RemoveFile(At("c")));
}

TEST_F(NativeFsTest, FullPathsResolveAgainstTheCurrentFolder) {
    const std::string saved = fs.GetCurrentDir();
    ASSERT_FALSE(saved.empty());
    MakeDirs("cwd/sub");
    ASSERT_TRUE(fs.SetCurrentDir(At("cwd")));
    const std::string here = fs.GetCurrentDir();
    EXPECT_EQ(fs.GetFullPath("x"), IncludeSlash(here) + "x");
    EXPECT_EQ(fs.GetFullPath("sub/../y"), IncludeSlash(here) + "y");
    EXPECT_EQ(fs.GetFullPath(""), "");
    EXPECT_FALSE(fs.SetCurrentDir(At("missing")));
    EXPECT_EQ(fs.GetCurrentDir(), here);
    ASSERT_TRUE(fs.SetCurrentDir(saved));
}

#ifndef _WIN32
TEST(PosixFullPathTest, DotsResolveAsTextWithoutFollowingLinks) {
    const struct {
        const char* Input;
        const char* Expected;
    } cases[] = {
        {"/a/./b/../c", "/a/c"},  {"/a//b", "/a/b"}, {"/..", "/"},      {"/a/../..", "/"},
        {"/a/b/", "/a/b/"},       {"/", "/"},        {"/a/b/..", "/a"}, {"/a/.", "/a"},
        {"/x/link/../y", "/x/y"}, // ".." undoes the name, whatever the name leads to
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NativeFs().GetFullPath(c.Input), c.Expected) << c.Input;
    }
}
#endif

TEST_F(NativeFsTest, PathsLongerThanTheOldLimitWork) {
    const std::string path = MakeDeepFolder();
    WriteFile(At("short"), "deep content");
    const std::string deepFile = path + "file.txt";
    ASSERT_TRUE(fs.CopyFileReplacing(At("short"), deepFile));
    const auto data = fs.GetAttributeData(deepFile);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Size, 12u);
    const auto entries = List(path + "*.*");
    EXPECT_TRUE(entries.count("file.txt"));
    uint32_t error = 0;
    EXPECT_TRUE(fs.GetAttributes(deepFile, &error));
    EXPECT_TRUE(fs.CanOpenForReading(deepFile, false, &error));
    EXPECT_TRUE(fs.RemoveFile(deepFile));
}

// A file stream reaches a file as deep as the folder calls do: created, reopened for writing and read back.
TEST_F(NativeFsTest, FileStreamsOpenOnPathsLongerThanTheOldLimit) {
    const std::string deepFile = MakeDeepFolder() + "stream.txt";
    ASSERT_GT(deepFile.size(), 260u);
    fs.OpenStream(deepFile, StreamMode::CreateNewNoShare)->Write("first", 5);
    {
        auto stream = fs.OpenStream(deepFile, StreamMode::OpenReadWriteDenyWrite);
        EXPECT_EQ(stream->Seek(0, SeekOrigin::End), 5);
        EXPECT_EQ(stream->Write(", second", 8), 8u);
    }
    auto stream = fs.OpenStream(deepFile, StreamMode::OpenReadShareRead);
    std::string text(32, '\0');
    text.resize(stream->Read(text.data(), text.size()));
    EXPECT_EQ(text, "first, second");
    stream.reset();
    fs.OpenStream(deepFile, StreamMode::CreateNoShare).reset();
    const auto data = fs.GetAttributeData(deepFile);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Size, 0u);
    EXPECT_TRUE(fs.RemoveFile(deepFile));
}

TEST_F(NativeFsTest, IdentityIsTheSameThroughEveryPath) {
    MakeDirs("a/b");
    WriteFile(At("f"), "");
    const auto a = fs.GetIdentity(At("a"));
    const auto again = fs.GetIdentity(At("a/b/.."));
    const auto b = fs.GetIdentity(At("a/b"));
    const auto f = fs.GetIdentity(At("f"));
    ASSERT_TRUE(a && again && b && f);
    EXPECT_EQ(*a, *again);
    EXPECT_NE(*a, *b);
    EXPECT_NE(*a, *f);
    EXPECT_FALSE(fs.GetIdentity(At("missing")));
}

// ---- folders held open -----------------------------------------------------------------------------

class FolderHandleTest : public NativeFsTest {
protected:
    // The entries a search yields, in its order.
    static std::vector<DirEntry> Entries(std::unique_ptr<DirectorySearch> search) {
        std::vector<DirEntry> entries;
        DirEntry entry;
        while (search != nullptr && search->Next(entry)) {
            entries.push_back(entry);
        }
        return entries;
    }
};

TEST_F(FolderHandleTest, EntriesAndTheirDataAreWhatTheSearchAndTheAttributeReadGive) {
    MakeDirs("F/sub");
    MakeDirs("F/Second folder");
    WriteFile(At("F/file.txt"), "some bytes");
    WriteFile(At("F/.hidden"), "");
    WriteFile(At("F/Zed"), std::string(70000, 'z'));
    WriteFile(At("F/Кириллица"), "cyrillic");
    for (int i = 0; i < 300; ++i) {
        WriteFile(At("F/many-" + std::to_string(i)), std::to_string(i)); // more than one read of entries
    }
    const std::unique_ptr<FolderHandle> folder = fs.OpenFolder(At("F"));
    ASSERT_TRUE(folder);
    const std::vector<DirEntry> held = Entries(folder->Search());
    const std::vector<DirEntry> searched = Entries(fs.FindFirst(At("F/*.*")));
    ASSERT_EQ(held.size(), searched.size());
    for (size_t i = 0; i < held.size(); ++i) {
        EXPECT_EQ(held[i].Name, searched[i].Name) << i;
        EXPECT_EQ(held[i].Attributes, searched[i].Attributes) << held[i].Name;
    }

    for (const DirEntry& entry : held) {
        if (entry.Name == "." || entry.Name == "..") {
            continue;
        }
        const std::string path = IncludeSlash(At("F")) + entry.Name;
        EXPECT_EQ(folder->Path().Entry(entry.Name), path);
        const std::optional<FileAttributeData> byHandle = folder->GetEntryData(entry.Name);
        const std::optional<FileAttributeData> byPath = fs.GetAttributeData(path);
        ASSERT_TRUE(byHandle && byPath) << entry.Name;
        // Wine calls a name that begins with "." hidden in what it reads by path, not in what it reads from
        // an open file.
        const uint32_t unsure = RunningUnderWine() && entry.Name[0] == '.' ? kAttrHidden : 0;
        EXPECT_EQ(byHandle->Attributes & ~unsure, byPath->Attributes & ~unsure) << entry.Name;
        EXPECT_EQ(byHandle->LastWriteTime, byPath->LastWriteTime) << entry.Name;
        EXPECT_EQ(byHandle->WriteTime, byPath->WriteTime) << entry.Name;
        EXPECT_EQ(byHandle->Size, byPath->Size) << entry.Name;
    }
    uint32_t byHandle = 0;
    uint32_t byPath = 0;
    EXPECT_FALSE(folder->GetEntryData("missing", &byHandle));
    EXPECT_FALSE(fs.GetAttributeData(At("F/missing"), &byPath));
    EXPECT_EQ(byHandle, kErrFileNotFound);
    EXPECT_EQ(byHandle, byPath);
    EXPECT_EQ(folder->Identity(), fs.GetIdentity(At("F")));
}

TEST_F(FolderHandleTest, OnlyRealFoldersOpenBelowAFolderUnlessLinksAreFollowed) {
    MakeDirs("F/real");
    MakeDirs("target");
    WriteFile(At("F/file"), "");
    std::error_code ec;
    stdfs::create_directory_symlink(PathFromUtf8(At("target")), PathFromUtf8(At("F/link")), ec);
    const bool linkMade = !ec && Exists(At("F/link"));
    const std::unique_ptr<FolderHandle> folder = fs.OpenFolder(At("F"));
    ASSERT_TRUE(folder);
    struct Case {
        const char* Name;
        bool Opens;         // without following links
        bool OpensFollowed; // following them
    };
    const Case cases[] = {
        {"real", true, true}, {"file", false, false}, {"missing", false, false}, {"link", false, true}};
    for (const Case& c : cases) {
        if (std::string(c.Name) == "link" && !linkMade) {
            continue; // the platform does not let the test make links here
        }
        const std::string path = At("F/" + std::string(c.Name));
        const std::unique_ptr<FolderHandle> plain = folder->OpenSubfolder(c.Name, false);
        const std::unique_ptr<FolderHandle> followed = folder->OpenSubfolder(c.Name, true);
        EXPECT_EQ(plain != nullptr, c.Opens) << c.Name;
        EXPECT_EQ(followed != nullptr, c.OpensFollowed) << c.Name;
        if (followed) {
            EXPECT_EQ(followed->Identity(), fs.GetIdentity(path)) << c.Name;
            // A sub-folder's path is its parent's and its name, and its entries' paths go on from there.
            EXPECT_EQ(followed->Path().Text(), IncludeSlash(At("F")) + c.Name);
            EXPECT_EQ(followed->Path().Entry("x"), IncludeSlash(At("F")) + c.Name + PathDelimiter() + "x");
        }
    }
    // A folder named with its delimiter names its entries as the same folder named without one.
    const std::unique_ptr<FolderHandle> named = fs.OpenFolder(IncludeSlash(At("F")));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->Path().Text(), IncludeSlash(At("F")));
    EXPECT_EQ(named->Path().Entry("real"), folder->Path().Entry("real"));
    EXPECT_EQ(folder->Path().Text(), At("F"));
    // One level is made; what is there already, a folder or a file, is not.
    uint32_t error = 0;
    EXPECT_TRUE(folder->MakeSubfolder("made", nullptr, &error));
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(At("F/made"))));
    for (const char* existing : {"real", "file"}) {
        error = 0;
        EXPECT_FALSE(folder->MakeSubfolder(existing, nullptr, &error)) << existing;
        EXPECT_EQ(error, kErrAlreadyExists) << existing;
    }
}

TEST_F(FolderHandleTest, AHeldFolderStaysItselfWhenAnotherTakesItsPath) {
    MakeDirs("A");
    MakeDirs("B");
    MakeDirs("other");
    WriteFile(At("A/f"), "new content");
    WriteFile(At("B/f"), "old");
    WriteFile(At("B/g"), "kept");
    const std::unique_ptr<FolderHandle> source = fs.OpenFolder(At("A"));
    const std::unique_ptr<FolderHandle> dest = fs.OpenFolder(At("B"));
    ASSERT_TRUE(source && dest);
    const std::optional<FileIdentity> identity = fs.GetIdentity(At("B"));
    stdfs::rename(PathFromUtf8(At("B")), PathFromUtf8(At("moved")));
    stdfs::rename(PathFromUtf8(At("other")), PathFromUtf8(At("B")));

    EXPECT_EQ(dest->Identity(), identity);
    std::set<std::string> names;
    for (const DirEntry& entry : Entries(dest->Search())) {
        names.insert(entry.Name);
    }
    EXPECT_TRUE(names.count("f") == 1 && names.count("g") == 1) << ::testing::PrintToString(names);
    const std::optional<FileAttributeData> g = dest->GetEntryData("g");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Size, 4u);
    EXPECT_TRUE(dest->MakeSubfolder("made", nullptr));
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(At("moved/made"))));
    uint32_t error = 0;
    const bool copied = dest->CopyFileHere(*source, "f", "f", &error);
    if (RunningUnderWine()) {
        // Wine renames by the names its handles had when opened: the copy cannot take its place here, and
        // says so rather than going where the folder's old name leads now.
        EXPECT_FALSE(copied);
        EXPECT_EQ(ReadFile(At("moved/f")), "old");
    } else {
        EXPECT_TRUE(copied) << SysErrorMessage(error);
        EXPECT_EQ(ReadFile(At("moved/f")), "new content");
    }
    // The folder that took the path is untouched.
    EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(At("B"))));
}

#ifdef _WIN32
TEST_F(FolderHandleTest, ADriveNamedAloneIsItsRootAsTheWalkNamesItsEntries) {
    MakeDirs("current");
    const std::string drive = Root().substr(0, 2);
    ASSERT_EQ(drive[1], ':');
    const std::string saved = fs.GetCurrentDir();
    ASSERT_TRUE(fs.SetCurrentDir(At("current")));
    const std::unique_ptr<FolderHandle> folder = fs.OpenFolder(drive);
    fs.SetCurrentDir(saved);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Identity(), fs.GetIdentity(drive + "\\"));
    EXPECT_NE(folder->Identity(), fs.GetIdentity(At("current")));
}

// The form every Windows call gets a path in: as given while the plain calls take it, else the full path
// behind "\\?\" (or "\\?\UNC\" for a share), with the separators the long form needs.
TEST(LongPathTest, OnlyPathsTooLongForThePlainCallsTakeTheLongForm) {
    const std::string name(300, 'n');
    const std::wstring wideName(300, L'n');
    const struct {
        std::string Path;
        std::wstring Expected;
    } cases[] = {
        {"C:\\short\\file.txt", L"C:\\short\\file.txt"},
        {"C:/short/file.txt", L"C:/short/file.txt"},
        {"C:\\long\\" + name, L"\\\\?\\C:\\long\\" + wideName},
        {"C:/long/./x/../" + name, L"\\\\?\\C:\\long\\" + wideName},
        {"\\\\server\\share\\" + name, L"\\\\?\\UNC\\server\\share\\" + wideName},
        {"\\\\?\\C:\\given\\" + name, L"\\\\?\\C:\\given\\" + wideName},
        {"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(LongPath(c.Path) == c.Expected) << c.Path.substr(0, 40);
    }
    EXPECT_EQ(Narrow(LongPath("C:\\долгий\\" + name)), "\\\\?\\C:\\долгий\\" + name);
}
#endif

TEST(FsRegistryTest, SetFsPutsAnotherImplementationInPlaceAndRestoresTheNativeOne) {
    class Marker : public pardova::testing::ForwardingFs {
    public:
        std::optional<uint32_t> GetAttributes(const std::string&, uint32_t*) override { return 0x4242; }
    } marker;
    EXPECT_EQ(&Fs(), &NativeFs());
    {
        const ScopedOverride<FileSystem*> use(FsOverride(), &marker);
        uint32_t error = 0;
        EXPECT_EQ(&Fs(), &marker);
        EXPECT_EQ(Fs().GetAttributes("anything", &error), 0x4242u);
    }
    EXPECT_EQ(&Fs(), &NativeFs());
}

TEST(NotThereTest, OnlyTheCodesForAMissingEntryMeanNothingIsThere) {
    const struct {
        uint32_t Code;
        bool NotThere;
    } cases[] = {
        {kErrFileNotFound, true},  {kErrPathNotFound, true},
        {kErrBadNetPath, true},    {kErrInvalidName, true},
        {kErrAccessDenied, false}, {kErrSharingViolation, false},
        {kErrNotReady, false},     {kErrIoDevice, false},
        {kErrOther, false},        {0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNotThereError(c.Code), c.NotThere) << c.Code;
    }
}

TEST(SysErrorMessageTest, GivesThePlatformsTextForKnownCodes) {
    for (const uint32_t code : {kErrFileNotFound, kErrPathNotFound, kErrAccessDenied}) {
        const std::string text = SysErrorMessage(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), '\n') << code;
    }
    EXPECT_NE(SysErrorMessage(kErrFileNotFound), SysErrorMessage(kErrAccessDenied));
}

#ifndef _WIN32
// Each errno either becomes the Windows code whose meaning the rules test, or keeps a code of its own that
// reads back as the platform's text for it: no reason is lost to a catch-all code.
struct ErrnoCase {
    int Errno;
    uint32_t Code; // 0: a code of its own
};

TEST(SysErrorMessageTest, EveryErrnoKeepsItsMeaningAndItsText) {
    const ErrnoCase cases[] = {
        {ENOENT, kErrFileNotFound},
        {ENOTDIR, kErrPathNotFound},
        {EACCES, kErrAccessDenied},
        {EPERM, kErrAccessDenied},
        {ENOSPC, kErrDiskFull},
        {EEXIST, kErrAlreadyExists},
        {ENAMETOOLONG, kErrInvalidName},
        {ELOOP, kErrInvalidName},
        {EINVAL, kErrInvalidName},
        {EWOULDBLOCK, kErrSharingViolation},
        {EIO, kErrIoDevice},
        {EROFS, kErrWriteProtect},
        {EXDEV, kErrNotSameDevice},
        {EFBIG, kErrFileTooLarge},
        {EDQUOT, kErrDiskQuota},
        {EMFILE, 0},
        {ENOTEMPTY, 0},
        {ESTALE, 0},
    };
    std::set<uint32_t> ownCodes;
    for (const ErrnoCase& c : cases) {
        SCOPED_TRACE(std::strerror(c.Errno));
        const uint32_t code = ErrorCodeFromErrno(c.Errno);
        const std::string text = SysErrorMessage(code);
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << text;
        if (c.Code != 0) {
            EXPECT_EQ(code, c.Code);
            continue;
        }
        EXPECT_EQ(text, std::strerror(c.Errno));
        EXPECT_TRUE(ownCodes.insert(code).second) << "two errno values share the code " << code;
        for (const uint32_t windows : {kErrFileNotFound, kErrPathNotFound, kErrAccessDenied, kErrSharingViolation,
                                       kErrDiskFull, kErrInvalidName, kErrAlreadyExists, kErrOther}) {
            EXPECT_NE(code, windows);
        }
    }
    // The codes of their own that a copy's failure line names read back as the platform's text.
    for (const int e : {EIO, EROFS, EXDEV, EFBIG, EDQUOT}) {
        EXPECT_EQ(SysErrorMessage(ErrorCodeFromErrno(e)), std::strerror(e));
    }
    // What a taken lock means, in words, rather than errno's "try again".
    EXPECT_EQ(SysErrorMessage(kErrSharingViolation), "The file is being used by another process.");
}
#endif

// A refused open or create carries the file's full path, the platform's code and its text as data, and the
// message is made of them.
TEST_F(NativeFsTest, AStreamErrorCarriesPathCodeAndReason) {
    const std::string missing = At("missing.txt");
    try {
        NativeFs().OpenStream(missing, StreamMode::OpenReadShareRead);
        ADD_FAILURE() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Path(), missing);
        EXPECT_EQ(e.ErrorCode(), kErrFileNotFound);
        EXPECT_EQ(e.Reason(), SysErrorMessage(kErrFileNotFound));
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". " + e.Reason());
    }
    const std::string inMissingFolder = At("no-such-folder/x.txt");
    try {
        NativeFs().OpenStream(inMissingFolder, StreamMode::CreateNewNoShare);
        ADD_FAILURE() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Path(), inMissingFolder);
        EXPECT_TRUE(e.ErrorCode() == kErrFileNotFound || e.ErrorCode() == kErrPathNotFound) << e.ErrorCode();
        EXPECT_EQ(e.Message(), "Cannot create file \"" + inMissingFolder + "\". " + e.Reason());
    }
}

} // namespace
} // namespace pardova::platform
