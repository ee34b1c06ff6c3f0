#pragma once
// The INI document: an ordered list of sections, each an ordered list of entry lines ("name=value", or a
// line without "="). It is read whole from a file and written whole back to it, keeping the file's
// encoding and byte-order mark. Section and entry names compare case-insensitively; where a name occurs
// more than once, lookups find the first.
//
// TIniFile is the per-entry file access of hex mode: every write goes straight to the file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pardova {

namespace platform {
class EFileStreamError;
}

enum class TIniEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// What tells one content of a file from another: its length and a hash of its bytes. Size -1: no file read.
struct TIniFileContent {
    int64_t Size = -1;
    uint64_t Hash = 0;
    friend bool operator==(const TIniFileContent&, const TIniFileContent&) = default;
};

class TMemIniFile {
public:
    // Reads FileName when it is not empty and names an existing file. A file that cannot be opened raises
    // the file layer's exception (it names the file and the system's reason).
    explicit TMemIniFile(std::string FileName);

    const std::string& FileName() const { return FFileName; }
    TIniEncoding Encoding() const { return FEncoding; }
    // The content of the file as it was read; Size -1 when no file was read.
    const TIniFileContent& Content() const { return FContent; }
    // Empties the document, as if no file had been there: the next UpdateFile writes a new file.
    void Clear();

    // True when the section exists and holds at least one entry.
    bool SectionExists(std::string_view Section) const;
    // Copies of the entry lines of the first section of that name, in file order.
    std::vector<std::string> ReadSectionValues(std::string_view Section) const;
    // Every section name in document order (repeated names included).
    std::vector<std::string> ReadSections() const;
    std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) const;
    bool ValueExists(std::string_view Section, std::string_view Ident) const;

    // Replaces the first entry named Ident in the first section of that name, or appends "Ident=Value"
    // (to a new section at the end when there is none).
    void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value);
    void DeleteKey(std::string_view Section, std::string_view Ident);
    // Removes the first section of that name with all its entries.
    void EraseSection(std::string_view Section);

    // Writes the whole document to FileName: "[name]", the entries and an empty line per section, every
    // line ended by CR LF, in the encoding that was read (ANSI without a mark for a new file). The new file
    // is written and made durable under a temporary name of its own beside FileName (created exclusively,
    // with the old file's permission bits), then renamed over it, so a kill leaves the old file or the new
    // one. Where no new file can be made in the folder (a folder that is read-only or has no free inodes)
    // an existing file is rewritten in place instead. With KeepOldAs, the old file is moved to that name
    // (replacing what was there) right before the new one takes its place; where that cannot be done, the
    // old file is replaced all the same. A file that cannot be created raises the file layer's
    // EFCreateError naming FileName; a write that the file refuses part-way raises EFileStreamError.
    void UpdateFile(const std::string& KeepOldAs = {});

    // The document's parsing and serialisation alone, without the file.
    void LoadFromBytes(std::string_view Bytes);
    std::string SaveToBytes() const;

private:
    struct Section {
        std::string Name;
        std::vector<std::string> Entries;
    };
    const Section* FindSection(std::string_view Name) const;
    Section* FindSection(std::string_view Name);
    void RewriteInPlace(const std::string& Bytes, const platform::EFileStreamError& Refusal);

    std::string FFileName;
    TIniEncoding FEncoding = TIniEncoding::Ansi;
    TIniFileContent FContent;
    std::vector<Section> FSections;
};

// Per-entry access to an INI file, each call reading or writing the file at once. On Windows it goes
// through the platform's private-profile functions; elsewhere through the INI document, with the same
// results.
class TIniFile {
public:
    explicit TIniFile(std::string FileName);
    // Asks the platform to flush what it may have cached for the file.
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // Raises an exception "Unable to write to %s" (the file name) when the platform refuses the write.
    void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value);
    std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) const;
    bool ValueExists(std::string_view Section, std::string_view Ident) const;
    void DeleteKey(std::string_view Section, std::string_view Ident);

private:
    std::string FFileName;
};

} // namespace pardova
