// The INI document: how a file is read (encodings, trimming, comments, sections) and how it is written back.
#include "settings/core/IniFile.h"

#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/TestForwardingFs.h"
#include "platform/core/TestFsSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace pardova {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

class TempDir : public pardova::testing::TempFolderTest {
protected:
    std::string PathOf(const std::string& name) const { return At(name); }
    fs::path NativePathOf(const std::string& name) const { return pardova::testing::PathFromUtf8(At(name)); }
    void WriteBytes(const std::string& name, const std::string& bytes) const {
        pardova::testing::WriteFile(At(name), bytes);
    }
    std::string ReadBytes(const std::string& name) const { return pardova::testing::ReadFile(At(name)); }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(pardova::testing::PathFromUtf8(Root()))) {
            names.push_back(pardova::testing::Utf8FromPath(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(IniDocumentRead, TrimsDropsCommentsAndLinesBeforeTheFirstSection) {
    TMemIniFile ini("");
    ini.LoadFromBytes("orphan=1\r\n"
                      "; a comment before\r\n"
                      "  [ Alpha ]  \r\n"
                      "\t name  =  value with  inner  spaces \t\r\n"
                      "   \r\n"
                      ";comment=inside\r\n"
                      "no equals sign here\n"
                      "a=b=c\r"
                      "key='  quoted keeps spaces  '\n"
                      "[Beta]\r\n"
                      "x=1");
    EXPECT_THAT(ini.ReadSections(), ElementsAre("Alpha", "Beta"));
    EXPECT_THAT(ini.ReadSectionValues("alpha"), ElementsAre("name=value with  inner  spaces", "no equals sign here",
                                                            "a=b=c", "key='  quoted keeps spaces  '"));
    EXPECT_THAT(ini.ReadSectionValues("BETA"), ElementsAre("x=1"));
    EXPECT_EQ(ini.ReadString("Alpha", "A", "?"), "b=c");
    EXPECT_EQ(ini.ReadString("Alpha", "missing", "dflt"), "dflt");
}

TEST(IniDocumentRead, RepeatedSectionsAreKeptAndLookupsFindTheFirst) {
    TMemIniFile ini("");
    ini.LoadFromBytes("[S]\r\nk=first\r\n[Other]\r\no=1\r\n[s]\r\nk=second\r\n");
    EXPECT_THAT(ini.ReadSections(), ElementsAre("S", "Other", "s"));
    EXPECT_EQ(ini.ReadString("S", "K", ""), "first");

    ini.EraseSection("s");
    EXPECT_THAT(ini.ReadSections(), ElementsAre("Other", "s"));
    EXPECT_EQ(ini.ReadString("S", "k", ""), "second");
}

TEST(IniDocumentRead, SectionWithoutEntriesDoesNotExist) {
    TMemIniFile ini("");
    ini.LoadFromBytes("[Empty]\r\n; only a comment\r\n\r\n[Full]\r\nk=v\r\n");
    EXPECT_FALSE(ini.SectionExists("Empty"));
    EXPECT_TRUE(ini.SectionExists("full"));
    EXPECT_FALSE(ini.SectionExists("None"));
    EXPECT_TRUE(ini.ReadSectionValues("None").empty());
}

struct EncodingCase {
    const char* Name;
    std::string Bytes;
    TIniEncoding Encoding;
};

class IniEncoding : public ::testing::TestWithParam<EncodingCase> {};

// Every encoding reads to the same document and writes back with its own mark.
TEST_P(IniEncoding, IsDetectedAndWrittenBackWithItsMark) {
    const EncodingCase& c = GetParam();
    TMemIniFile ini("");
    ini.LoadFromBytes(c.Bytes);
    EXPECT_EQ(ini.Encoding(), c.Encoding);
    EXPECT_THAT(ini.ReadSectionValues("Sec"), ElementsAre("k=\xD0\xAF"));
    EXPECT_EQ(ini.SaveToBytes(), c.Bytes);
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF);
        const char hi = static_cast<char>(c >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

std::vector<EncodingCase> EncodingCases() {
    std::vector<EncodingCase> cases = {
        {"Utf8", "\xEF\xBB\xBF[Sec]\r\nk=\xD0\xAF\r\n\r\n", TIniEncoding::Utf8},
        {"Utf16LE", Utf16Bytes(u"[Sec]\r\nk=\u042F\r\n\r\n", false), TIniEncoding::Utf16LE},
        {"Utf16BE", Utf16Bytes(u"[Sec]\r\nk=\u042F\r\n\r\n", true), TIniEncoding::Utf16BE},
    };
#ifndef _WIN32
    // The ANSI code page is UTF-8 here; on Windows it is the system's single-byte one.
    cases.push_back({"AnsiWithoutMark", "[Sec]\r\nk=\xD0\xAF\r\n\r\n", TIniEncoding::Ansi});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Marks, IniEncoding, ::testing::ValuesIn(EncodingCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(IniDocumentWrite, WriteStringReplacesTheFirstMatchOrAppends) {
    TMemIniFile ini("");
    ini.LoadFromBytes("[A]\r\nKey=old\r\nkey=second\r\n[B]\r\nx=1\r\n");
    ini.WriteString("a", "KEY", "new");
    ini.WriteString("A", "Other", "o");
    ini.WriteString("C", "Line0", "v");
    EXPECT_THAT(ini.ReadSectionValues("A"), ElementsAre("KEY=new", "key=second", "Other=o"));
    EXPECT_THAT(ini.ReadSections(), ElementsAre("A", "B", "C"));
    EXPECT_EQ(ini.SaveToBytes(), "[A]\r\nKEY=new\r\nkey=second\r\nOther=o\r\n\r\n"
                                 "[B]\r\nx=1\r\n\r\n"
                                 "[C]\r\nLine0=v\r\n\r\n");
}

TEST(IniDocumentWrite, EmbeddedLineBreaksBecomeFileLinesAndReadBackAsEntries) {
    TMemIniFile ini("");
    ini.WriteString("TMainForm", "Line0", "'object X: TX'\r\nLine1='  Left = 1 '\r\nLine2='end'\r\n");
    const std::string bytes = ini.SaveToBytes();
    EXPECT_EQ(bytes, "[TMainForm]\r\nLine0='object X: TX'\r\nLine1='  Left = 1 '\r\nLine2='end'\r\n\r\n\r\n");
    TMemIniFile again("");
    again.LoadFromBytes(bytes);
    EXPECT_THAT(again.ReadSectionValues("TMainForm"),
                ElementsAre("Line0='object X: TX'", "Line1='  Left = 1 '", "Line2='end'"));
}

TEST(IniDocumentWrite, DeleteKeyRemovesOnlyTheFirstMatch) {
    TMemIniFile ini("");
    ini.LoadFromBytes("[A]\r\nk=1\r\nK=2\r\nj=3\r\n");
    ini.DeleteKey("A", "k");
    EXPECT_THAT(ini.ReadSectionValues("A"), ElementsAre("K=2", "j=3"));
    EXPECT_TRUE(ini.ValueExists("A", "K"));
    EXPECT_FALSE(ini.ValueExists("A", "missing"));
}

TEST_F(TempDir, MissingFileIsAnEmptyDocumentAndIsCreatedWithoutAMark) {
    TMemIniFile ini(PathOf("settings.ini"));
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_EQ(ini.Encoding(), TIniEncoding::Ansi);
    ini.WriteString("S", "k", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes("settings.ini"), "[S]\r\nk=v\r\n\r\n");
}

TEST_F(TempDir, ExistingFileIsRewrittenWholeInItsEncoding) {
    WriteBytes("settings.ini", "\xEF\xBB\xBF; comment\n[Keep]\n  a = 1  \n\n[Drop]\nx=y\n");
    TMemIniFile ini(PathOf("settings.ini"));
    ini.EraseSection("drop");
    ini.WriteString("New", "k", "v");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes("settings.ini"), "\xEF\xBB\xBF[Keep]\r\na=1\r\n\r\n[New]\r\nk=v\r\n\r\n");
}

TEST_F(TempDir, ShorterContentLeavesNoTailOfTheOldFile) {
    WriteBytes("settings.ini", "[A]\r\n" + std::string(5000, 'x') + "=1\r\n");
    TMemIniFile ini(PathOf("settings.ini"));
    ini.EraseSection("A");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes("settings.ini"), "");
}

TEST_F(TempDir, FolderInPlaceOfTheFileReadsEmptyAndFailsToWrite) {
    fs::create_directory(NativePathOf("settings.ini"));
    TMemIniFile ini(PathOf("settings.ini"));
    EXPECT_TRUE(ini.ReadSections().empty());
    ini.WriteString("S", "k", "v");
    EXPECT_THROW(ini.UpdateFile(), platform::EFCreateError);
}

TEST_F(TempDir, FileThatCannotBeCreatedRaisesWithTheFileName) {
    TMemIniFile ini(PathOf("no-such-folder/settings.ini"));
    ini.WriteString("S", "k", "v");
    try {
        ini.UpdateFile();
        FAIL() << "UpdateFile succeeded in a missing folder";
    } catch (const platform::EFCreateError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("settings.ini"));
        EXPECT_THAT(e.Message(), HasSubstr("Cannot create file"));
    }
}

TEST_F(TempDir, IniFileWritesEachEntryStraightToTheFile) {
    WriteBytes("hex.ini", "[Other]\r\nz=9\r\n");
    {
        TIniFile ini(PathOf("hex.ini"));
        ini.WriteString("Store", "Line0", "'54504630'");
        ini.WriteString("Store", "Line1", "'00'");
        ini.WriteString("Store", "Plain", "abc");
        EXPECT_TRUE(ini.ValueExists("Store", "line1"));
        ini.DeleteKey("Store", "Line1");
        EXPECT_FALSE(ini.ValueExists("Store", "Line1"));
        EXPECT_EQ(ini.ReadString("Store", "Plain", ""), "abc");
        EXPECT_EQ(ini.ReadString("Store", "Missing", "dflt"), "dflt");
    }
    const TMemIniFile document(PathOf("hex.ini"));
    EXPECT_THAT(document.ReadSections(), ElementsAre("Other", "Store"));
    EXPECT_THAT(document.ReadSectionValues("Other"), ElementsAre("z=9"));
    EXPECT_THAT(document.ReadSectionValues("Store"), ElementsAre("Line0='54504630'", "Plain=abc"));
}

TEST_F(TempDir, IniFileWriteRefusedNamesTheFile) {
    TIniFile ini(PathOf("no-such-folder/hex.ini"));
    try {
        ini.WriteString("S", "Line0", "'00'");
        FAIL() << "the write succeeded in a missing folder";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + PathOf("no-such-folder/hex.ini"));
    }
}

TEST_F(TempDir, ASaveThatCannotBeCompletedLeavesThePreviousFileWhole) {
    const std::string previous = "[Keep]\r\nk=" + std::string(100, 'v') + "\r\n\r\n";
    WriteBytes("settings.ini", previous);
    TMemIniFile ini(PathOf("settings.ini"));
    ini.WriteString("Keep", "big", std::string(1 << 20, 'x'));
#ifndef _WIN32
    // The file-size limit fails the write part-way, as a full disk would.
    pardova::testing::WithFileSizeLimit(64 * 1024, [&] {
        EXPECT_THROW(ini.UpdateFile(), platform::EFileStreamError);
        return 0;
    });
    EXPECT_EQ(ReadBytes("settings.ini"), previous);
#endif
    // The next save completes; it leaves nothing of its own behind, and the user's own files beside it,
    // whatever their names, stay as they are.
    WriteBytes("settings.ini.tmp", "the user's own file");
    ini.UpdateFile();
    EXPECT_THAT(ReadBytes("settings.ini"), HasSubstr(std::string(1 << 20, 'x')));
    EXPECT_EQ(ReadBytes("settings.ini.tmp"), "the user's own file");
    EXPECT_EQ(Names(), (std::vector<std::string>{"settings.ini", "settings.ini.tmp"}));
}

// A file whose new content must not be written into it: the old one goes aside under the given name
// (replacing an older one there) as the new one takes its place; when the new one cannot take it, the old
// one is back under its own name.
class RefusingRenameOntoFs : public pardova::testing::ForwardingFs {
public:
    explicit RefusingRenameOntoFs(std::string target) : FTarget(std::move(target)) {}
    bool MoveReplacing(const std::string& from, const std::string& to, uint32_t* error) override {
        if (to == FTarget && from.find(".tmp") != std::string::npos) {
            if (error != nullptr) {
                *error = platform::kErrAccessDenied;
            }
            return false;
        }
        return ForwardingFs::MoveReplacing(from, to, error);
    }

private:
    std::string FTarget;
};

TEST_F(TempDir, AnOldFileKeptAsideMakesRoomForTheNewOneOrComesBack) {
    WriteBytes("settings.ini", "damaged");
    WriteBytes("settings.ini.bad", "an older damaged file");
    TMemIniFile ini(PathOf("settings.ini"));
    ini.Clear();
    ini.WriteString("S", "k", "v");
    ini.UpdateFile(PathOf("settings.ini.bad"));
    EXPECT_EQ(ReadBytes("settings.ini"), "[S]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ReadBytes("settings.ini.bad"), "damaged");

    WriteBytes("settings.ini", "damaged again");
    RefusingRenameOntoFs refusing(PathOf("settings.ini"));
    const platform::ScopedOverride<platform::FileSystem*> use(platform::FsOverride(), &refusing);
    EXPECT_THROW(ini.UpdateFile(PathOf("settings.ini.bad")), platform::EFCreateError);
    EXPECT_EQ(ReadBytes("settings.ini"), "damaged again");
    EXPECT_EQ(ReadBytes("settings.ini.bad"), "damaged");
    EXPECT_EQ(Names(), (std::vector<std::string>{"settings.ini", "settings.ini.bad"}));
}

#ifndef _WIN32
TEST_F(TempDir, ASaveKeepsTheFilesPermissionBits) {
    for (const ::mode_t mode : {0600, 0640, 0604, 0660}) {
        SCOPED_TRACE(mode);
        WriteBytes("settings.ini", "[S]\r\nk=old\r\n");
        ASSERT_EQ(::chmod(PathOf("settings.ini").c_str(), mode), 0);
        TMemIniFile ini(PathOf("settings.ini"));
        ini.WriteString("S", "k", "new");
        ini.UpdateFile();
        struct stat st {};
        ASSERT_EQ(::stat(PathOf("settings.ini").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(ReadBytes("settings.ini"), "[S]\r\nk=new\r\n\r\n");
    }
}
#endif

// A file system on which no new file can be made (a read-only folder, no free inodes): every exclusive
// create is refused, everything else goes to the real files.
class NoNewFileFs : public pardova::testing::ForwardingFs {
public:
    std::unique_ptr<platform::FileStream> OpenStream(const std::string& path, platform::StreamMode mode) override {
        if (mode == platform::StreamMode::CreateNewNoShare || mode == platform::StreamMode::CreateNoShare) {
            ++Refused;
            throw platform::EFCreateError("Cannot create file \"" + path + "\". No room.", path, platform::kErrDiskFull,
                                          "No room.");
        }
        return ForwardingFs::OpenStream(path, mode);
    }
    int Refused = 0;
};

TEST_F(TempDir, WhereNoNewFileCanBeMadeAnExistingFileIsRewrittenInPlace) {
    NoNewFileFs noNewFile;
    const platform::ScopedOverride<platform::FileSystem*> use(platform::FsOverride(), &noNewFile);
    // Longer and shorter than what the file held: no tail of the old content survives either way.
    for (const size_t oldLength : {size_t{10}, size_t{5000}}) {
        SCOPED_TRACE(oldLength);
        WriteBytes("settings.ini", "[S]\r\nk=" + std::string(oldLength, 'o') + "\r\n");
        TMemIniFile ini(PathOf("settings.ini"));
        ini.WriteString("S", "k", std::string(100, 'n'));
        const int refusedBefore = noNewFile.Refused;
        ini.UpdateFile();
        EXPECT_GT(noNewFile.Refused, refusedBefore) << "the save never tried a new file";
        EXPECT_EQ(ReadBytes("settings.ini"), "[S]\r\nk=" + std::string(100, 'n') + "\r\n\r\n");
        EXPECT_EQ(Names(), std::vector<std::string>{"settings.ini"});
    }
    // With no file to rewrite, the refusal to make one is the answer, naming the settings file.
    TMemIniFile missing(PathOf("other.ini"));
    missing.WriteString("S", "k", "v");
    try {
        missing.UpdateFile();
        ADD_FAILURE() << "a file was made";
    } catch (const platform::EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + PathOf("other.ini") + "\". No room.");
        EXPECT_EQ(e.Path(), PathOf("other.ini"));
        EXPECT_EQ(e.ErrorCode(), platform::kErrDiskFull);
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"settings.ini"});
}

#ifdef __linux__
// The same with a real folder that takes no new entry while its file stays writable (immutable, which root
// may set on the usual file systems; elsewhere the case is skipped).
TEST_F(TempDir, AnImmutableFolderStillGetsItsSettingsSaved) {
    WriteBytes("settings.ini", "[S]\r\nk=old\r\n");
    const int folder = ::open(Root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    int flags = 0;
    if (::ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0) {
        ::close(folder);
        GTEST_SKIP() << "the file system keeps no file flags";
    }
    const int immutable = flags | FS_IMMUTABLE_FL;
    if (::ioctl(folder, FS_IOC_SETFLAGS, &immutable) != 0) {
        ::close(folder);
        GTEST_SKIP() << "the folder cannot be made immutable here (needs root)";
    }
    const platform::ScopeGuard restore([&] {
        ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
        ::close(folder);
    });
    TMemIniFile ini(PathOf("settings.ini"));
    ini.WriteString("S", "k", "new");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes("settings.ini"), "[S]\r\nk=new\r\n\r\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"settings.ini"});
}
#endif

#ifndef _WIN32
TEST_F(TempDir, OnlyARegularFileOfSensibleSizeIsRead) {
    // A named pipe would block the start for ever, a device would never end, and a file far larger than any
    // settings file is not one: each is refused as unreadable, at once.
    ASSERT_EQ(::mkfifo(PathOf("pipe.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", NativePathOf("zero.ini"));
    {
        std::ofstream huge(NativePathOf("huge.ini"), std::ios::binary);
        huge << "[S]\r\nk=v\r\n";
    }
    fs::resize_file(NativePathOf("huge.ini"), std::uintmax_t{65} << 20);
    for (const char* name : {"pipe.ini", "zero.ini", "huge.ini"}) {
        SCOPED_TRACE(name);
        try {
            TMemIniFile ini(PathOf(name));
            ADD_FAILURE() << "read as stored data";
        } catch (const platform::EFOpenError& e) {
            EXPECT_THAT(e.Message(), HasSubstr(name));
        }
    }
}
#endif

} // namespace
} // namespace pardova
