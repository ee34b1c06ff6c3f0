// The path text routines, with the Windows rules checked on every platform through an explicit style.

#include "platform/core/Path.h"

#include <gtest/gtest.h>

namespace pardova::platform {
namespace {

struct PathCase {
    PathStyle Style;
    const char* Input;
    const char* Expected;
};

std::string Describe(const PathCase& c) {
    return std::string(c.Style == PathStyle::Windows ? "windows" : "posix") + " \"" + c.Input + "\"";
}

constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle X = PathStyle::Posix;

TEST(PathTest, IncludeSlash) {
    const PathCase cases[] = {
        {W, "", ""},
        {W, "C:\\A", "C:\\A\\"},
        {W, "C:\\A\\", "C:\\A\\"},
        {W, "C:\\A/", "C:\\A/"}, // a final slash counts as a separator too
        {W, "C:", "C:\\"},
        {W, "rel", "rel\\"},
        {W, "\\\\server\\share", "\\\\server\\share\\"},
        {W, "Папка", "Папка\\"},
        {X, "", ""},
        {X, "/a", "/a/"},
        {X, "/a/", "/a/"},
        {X, "/", "/"},
        {X, "a\\", "a\\/"}, // a backslash is an ordinary character on POSIX
        {X, "папка", "папка/"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(IncludeSlash(c.Input, c.Style), c.Expected) << Describe(c);
    }
}

TEST(PathTest, FolderPartAndNamePartSplitAtTheLastBreak) {
    struct SplitCase {
        PathStyle Style;
        const char* Input;
        const char* Folder;
        const char* Name;
    };
    const SplitCase cases[] = {
        {W, "", "", ""},
        {W, "C:\\dir\\file.exe", "C:\\dir\\", "file.exe"},
        {W, "C:file.exe", "C:", "file.exe"},             // a colon ends the folder part too
        {W, "C:\\dir/file.exe", "C:\\", "dir/file.exe"}, // a slash does not count
        {W, "file.exe", "", "file.exe"},
        {W, "C:\\dir\\", "C:\\dir\\", ""},
        {W, "\\\\server\\share\\x", "\\\\server\\share\\", "x"},
        {W, "D:\\Архив\\отчёт.txt", "D:\\Архив\\", "отчёт.txt"},
        {X, "", "", ""},
        {X, "/home/u/file", "/home/u/", "file"},
        {X, "file", "", "file"},
        {X, "/", "/", ""},
        {X, "a:b\\c", "", "a:b\\c"}, // neither ":" nor "\" breaks a POSIX path
        {X, "/dir/", "/dir/", ""},
    };
    for (const SplitCase& c : cases) {
        const std::string what = Describe({c.Style, c.Input, ""});
        EXPECT_EQ(FolderPart(c.Input, c.Style), c.Folder) << what;
        EXPECT_EQ(NamePart(c.Input, c.Style), c.Name) << what;
        EXPECT_EQ(FolderPart(c.Input, c.Style) + NamePart(c.Input, c.Style), c.Input) << what;
    }
}

TEST(PathTest, WithTrailingBackslash) {
    const PathCase cases[] = {
        {W, "", ""},
        {W, "C", "C:\\"}, // a bare drive letter
        {W, "C:", "C:\\"},
        {W, "C:\\", "C:\\"},
        {W, "C:\\dir", "C:\\dir\\"},
        {W, "C:\\dir/", "C:\\dir\\"}, // a final slash becomes a backslash
        {W, "C:\\dir\\", "C:\\dir\\"},
        {X, "", ""},
        {X, "a", "a/"},
        {X, "/dir", "/dir/"},
        {X, "/dir/", "/dir/"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(WithTrailingBackslash(c.Input, c.Style), c.Expected) << Describe(c);
    }
}

TEST(PathTest, ExtensionPartLooksAtTheLastComponentOnly) {
    const PathCase cases[] = {
        {W, "C:\\dir\\file.exe", ".exe"},
        {W, "C:\\dir.d\\file", ""},
        {W, "archive.tar.gz", ".gz"},
        {W, "C:\\dir\\.hidden", ".hidden"},
        {W, "", ""},
        {X, "/dir.d/file", ""},
        {X, "/dir/file.txt", ".txt"},
        {X, "a\\b.c", ".c"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(ExtensionPart(c.Input, c.Style), c.Expected) << Describe(c);
    }
}

TEST(PathTest, WithoutTrailingSeparatorsKeepsRoots) {
    const PathCase cases[] = {
        {W, "", ""},
        {W, "C:\\dir\\", "C:\\dir"},
        {W, "C:\\dir/", "C:\\dir"},
        {W, "C:\\dir\\\\", "C:\\dir"},
        {W, "C:\\", "C:\\"},
        {W, "\\", "\\"},
        {W, "\\\\server\\share\\", "\\\\server\\share"},
        {X, "/a/b/", "/a/b"},
        {X, "/a//", "/a"},
        {X, "/", "/"},
        {X, "a\\", "a\\"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(WithoutTrailingSeparators(c.Input, c.Style), c.Expected) << Describe(c);
    }
}

TEST(PathTest, SamePathTextIgnoresLetterCaseOnWindowsOnly) {
    const struct {
        PathStyle Style;
        const char* A;
        const char* B;
        bool Same;
    } cases[] = {
        {W, "C:\\Data\\B", "c:\\data\\b", true},
        {W, "D:\\Архив\\Ёлка", "d:\\АРХИВ\\ёлка", true},
        {W, "C:\\Ünï", "c:\\üNÏ", true},
        {W, "C:\\data\\b", "C:\\data\\bb", false},
        {W, "C:\\data\\b", "C:\\data\\c", false},
        {W, "C:\\a×", "C:\\a÷", false}, // "×" and "÷" are no letters of one case pair
        {W, "", "", true},
        // Bytes that are no valid character stand for themselves: never for a letter they resemble.
        {W,
         "C:\\\xC3"
         "A",
         "C:\\\xC3\xA1", false},             // a cut-short lead byte, then "A"; "á"
        {W, "C:\\\xC1\x81", "C:\\a", false}, // an overlong "A"
        {W, "C:\\\xC3", "C:\\\x03", false},  // a lone lead byte
        {W,
         "C:\\\xC3"
         "A\xFF",
         "C:\\\xC3"
         "a\xFF",
         true}, // letters beside them still fold
        {X, "/data/b", "/data/b", true},
        {X, "/data/B", "/data/b", false},
        {X, "/папка", "/ПАПКА", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SamePathText(c.A, c.B, c.Style), c.Same) << c.A << " vs " << c.B;
        EXPECT_EQ(SamePathText(c.B, c.A, c.Style), c.Same) << c.B << " vs " << c.A;
    }
}

TEST(PathTest, PathDelimiterFollowsTheStyle) {
    EXPECT_EQ(PathDelimiter(W), '\\');
    EXPECT_EQ(PathDelimiter(X), '/');
}

struct LogPathCase {
    std::string Path;
    std::string Logged;
};

TEST(PathTest, PathForLogEscapesWhatWouldBreakALineOnPosixOnly) {
    const LogPathCase cases[] = {
        {"/data/A/plain name.txt", "/data/A/plain name.txt"},
        {"/data/Папка/файл €𝄞.txt", "/data/Папка/файл €𝄞.txt"},
        {"/a/x\r\n01/01/2024 00:00:00:000 | Info | finish", "/a/x\\x0D\\x0A01/01/2024 00:00:00:000 | Info | finish"},
        {std::string("/a/\0b\tc\x1F\x7F", 9), "/a/\\x00b\\x09c\\x1F\\x7F"},
        {"/a/\xFF\xFE", "/a/\\xFF\\xFE"},                   // bytes that never start UTF-8
        {"/a/\xC0\xAF", "/a/\\xC0\\xAF"},                   // an over-long "/"
        {"/a/\xED\xA0\x80", "/a/\\xED\\xA0\\x80"},          // a UTF-16 surrogate
        {"/a/\xE2\x82", "/a/\\xE2\\x82"},                   // a sequence cut short
        {"/a/\xF4\x90\x80\x80", "/a/\\xF4\\x90\\x80\\x80"}, // past U+10FFFF
        {"/a/\x80z", "/a/\\x80z"},                          // a lone continuation byte
        {"/a/back\\slash\\", "/a/back\\slash\\"},           // a backslash stays itself...
        {"/a/\\x41", "/a/\\x5Cx41"},                        // ...unless it would read as an escape
    };
    for (const LogPathCase& c : cases) {
        SCOPED_TRACE(c.Logged);
        EXPECT_EQ(PathForLog(c.Path, PathStyle::Posix), c.Logged);
        // Windows names hold no control characters and come from UTF-16: the text stays byte for byte.
        EXPECT_EQ(PathForLog(c.Path, PathStyle::Windows), c.Path);
    }
}

} // namespace
} // namespace pardova::platform
