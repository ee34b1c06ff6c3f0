#include "settings/core/IniFile.h"

#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Locale.h"
#include "platform/core/PrivateProfile.h"
#include "platform/core/Process.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Text.h"

#include <algorithm>
#include <atomic>

namespace pardova {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEMark = "\xFF\xFE";
constexpr std::string_view kUtf16BEMark = "\xFE\xFF";

// Every character up to and including the space counts as white space, control characters included.
std::string_view Trim(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') {
        ++b;
    }
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') {
        --e;
    }
    return s.substr(b, e - b);
}

// The name part of an entry line: the text before the first "=", or nothing for a line without one.
bool EntryName(std::string_view entry, std::string_view& name) {
    const size_t eq = entry.find('=');
    if (eq == std::string_view::npos) {
        return false;
    }
    name = entry.substr(0, eq);
    return true;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        out[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    return out;
}

std::string Utf16ToBytes(std::u16string_view text, bool bigEndian) {
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lo = static_cast<char>(text[i] & 0xFF);
        const auto hi = static_cast<char>(text[i] >> 8);
        out[2 * i] = bigEndian ? hi : lo;
        out[2 * i + 1] = bigEndian ? lo : hi;
    }
    return out;
}

// A missing file, and a folder in place of the file, both read as an empty document.
bool IsExistingFile(const std::string& path) {
    uint32_t error = 0;
    const auto attributes = platform::Fs().GetAttributes(path, &error);
    return attributes && (*attributes & platform::kAttrDirectory) == 0;
}

// Far above any real settings file; a larger one is not stored data this program wrote.
constexpr int64_t kMaxFileSize = int64_t{64} << 20;

[[noreturn]] void RaiseTooLarge(const std::string& path) {
    std::string reason = "The file is too large.";
    throw platform::EFOpenError("Cannot open file \"" + path + "\". " + reason, path, 0, reason);
}

TIniFileContent ContentOf(std::string_view bytes) {
    return {static_cast<int64_t>(bytes.size()), platform::Fnv1a64(bytes)};
}

// The file layer's refusal to create the settings file, naming the file, with the system's code and reason.
[[noreturn]] void RaiseCannotCreate(const std::string& path, uint32_t error, const std::string& reason) {
    std::string full = platform::Fs().GetFullPath(path);
    if (full.empty()) {
        full = path;
    }
    std::string message = "Cannot create file \"" + full + "\". " + reason;
    throw platform::EFCreateError(std::move(message), std::move(full), error, reason);
}

[[noreturn]] void RaiseCannotWrite(const std::string& path) {
    throw platform::EFileStreamError("Unable to write to " + path, path);
}

// Writes all of bytes, then makes them durable; raises when the file refuses either.
void WriteAllDurably(platform::FileStream& stream, const std::string& bytes, const std::string& path) {
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t wrote = stream.Write(bytes.data() + done, bytes.size() - done);
        if (wrote == 0) {
            RaiseCannotWrite(path);
        }
        done += wrote;
    }
    if (!stream.Flush()) {
        RaiseCannotWrite(path);
    }
}

// A temporary name beside the file that belongs to this save alone: the process and a count of the saves
// it made, so that neither another running copy of the program nor a user's own file of a similar name is
// ever touched. It is created exclusively; a name that is taken all the same is passed over.
std::string TemporaryNameFor(const std::string& path, uint32_t attempt) {
    static std::atomic<uint32_t> saves{0};
    return path + ".~" + std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(++saves) + "-" +
           std::to_string(attempt) + ".tmp";
}

std::string ReadWholeFile(const std::string& path) {
    auto stream = platform::Fs().OpenStream(path, platform::StreamMode::OpenReadShareRead);
    std::string bytes;
    const int64_t size = stream->Size();
    if (size > kMaxFileSize) {
        RaiseTooLarge(path);
    }
    if (size > 0) {
        bytes.reserve(static_cast<size_t>(size));
    }
    char buffer[65536];
    for (;;) {
        const size_t got = stream->Read(buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        bytes.append(buffer, got);
        if (static_cast<int64_t>(bytes.size()) > kMaxFileSize) {
            RaiseTooLarge(path); // it grew while it was read
        }
    }
    return bytes;
}

} // namespace

TMemIniFile::TMemIniFile(std::string FileName) : FFileName(std::move(FileName)) {
    if (!FFileName.empty() && IsExistingFile(FFileName)) {
        const std::string bytes = ReadWholeFile(FFileName);
        FContent = ContentOf(bytes);
        LoadFromBytes(bytes);
    }
}

void TMemIniFile::Clear() {
    FSections.clear();
    FEncoding = TIniEncoding::Ansi;
}

void TMemIniFile::LoadFromBytes(std::string_view Bytes) {
    FSections.clear();
    std::string text;
    if (Bytes.starts_with(kUtf8Mark)) {
        FEncoding = TIniEncoding::Utf8;
        text.assign(Bytes.substr(kUtf8Mark.size()));
    } else if (Bytes.starts_with(kUtf16LEMark)) {
        FEncoding = TIniEncoding::Utf16LE;
        text = platform::Utf16ToUtf8(Utf16FromBytes(Bytes.substr(2), false));
    } else if (Bytes.starts_with(kUtf16BEMark)) {
        FEncoding = TIniEncoding::Utf16BE;
        text = platform::Utf16ToUtf8(Utf16FromBytes(Bytes.substr(2), true));
    } else {
        FEncoding = TIniEncoding::Ansi;
        text = platform::AnsiToUtf8(Bytes);
    }

    Section* current = nullptr;
    for (const std::string_view whole : platform::SplitLines(text)) {
        const std::string_view line = Trim(whole);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            FSections.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
            current = &FSections.back();
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current->Entries.emplace_back(line);
        } else {
            std::string entry(Trim(line.substr(0, eq)));
            entry += '=';
            entry += Trim(line.substr(eq + 1));
            current->Entries.push_back(std::move(entry));
        }
    }
}

std::string TMemIniFile::SaveToBytes() const {
    std::string text;
    for (const Section& section : FSections) {
        text += '[';
        text += section.Name;
        text += "]\r\n";
        for (const std::string& entry : section.Entries) {
            text += entry;
            text += "\r\n";
        }
        text += "\r\n";
    }
    switch (FEncoding) {
    case TIniEncoding::Utf8:
        return std::string(kUtf8Mark) + text;
    case TIniEncoding::Utf16LE:
        return std::string(kUtf16LEMark) + Utf16ToBytes(platform::Utf8ToUtf16(text), false);
    case TIniEncoding::Utf16BE:
        return std::string(kUtf16BEMark) + Utf16ToBytes(platform::Utf8ToUtf16(text), true);
    case TIniEncoding::Ansi:
        break;
    }
    return platform::Utf8ToAnsi(text);
}

void TMemIniFile::UpdateFile(const std::string& KeepOldAs) {
    const std::string bytes = SaveToBytes();
    platform::FileSystem& fs = platform::Fs();
    std::string partial;
    std::unique_ptr<platform::FileStream> stream;
    for (uint32_t attempt = 0; !stream; ++attempt) {
        partial = TemporaryNameFor(FFileName, attempt);
        try {
            stream = fs.OpenStream(partial, platform::StreamMode::CreateNewNoShare);
        } catch (const platform::EFCreateError& e) {
            const bool taken =
                e.ErrorCode() == platform::kErrAlreadyExists || e.ErrorCode() == platform::kErrFileExists;
            if (!taken || attempt >= 100) {
                RewriteInPlace(bytes, e);
                return;
            }
        }
    }
    {
        // A write that fails leaves nothing behind under the temporary name.
        platform::ScopeGuard removePartial([&] {
            stream.reset();
            fs.RemoveFile(partial);
        });
        // Before any byte is written, so that the data is never readable to more people than before.
        if (IsExistingFile(FFileName)) {
            stream->TakePermissionsOf(FFileName);
        }
        WriteAllDurably(*stream, bytes, FFileName);
        stream.reset();
        removePartial.Dismiss();
    }
    // The old file to keep first steps aside under a name of this save, and takes KeepOldAs (and the place
    // of what was there) only once the new file stands: a refusal in between puts it back, and nothing is
    // lost at any moment.
    const std::string old = partial + ".old";
    const bool keptOld = !KeepOldAs.empty() && IsExistingFile(FFileName) && fs.MoveNoReplace(FFileName, old);
    uint32_t error = 0;
    if (!fs.MoveReplacing(partial, FFileName, &error)) {
        fs.RemoveFile(partial);
        if (keptOld) {
            fs.MoveNoReplace(old, FFileName);
        }
        RaiseCannotCreate(FFileName, error, platform::SysErrorMessage(error));
    }
    if (keptOld) {
        fs.MoveReplacing(old, KeepOldAs);
    }
}

// The fallback where the folder takes no new file: a plain file under the name gets the new bytes over its
// old ones and is cut to their length. A kill in the middle can leave it incomplete, which is why this is
// only the fallback. With no such file, or one that does not open for writing, the refusal to make the
// temporary file is the answer, naming the settings file.
void TMemIniFile::RewriteInPlace(const std::string& Bytes, const platform::EFileStreamError& Refusal) {
    platform::FileSystem& fs = platform::Fs();
    uint32_t error = 0;
    const auto attributes = fs.GetAttributes(FFileName, &error);
    if (!attributes || (*attributes & (platform::kAttrDirectory | platform::kAttrReparsePoint)) != 0) {
        RaiseCannotCreate(FFileName, Refusal.ErrorCode(), Refusal.Reason());
    }
    std::unique_ptr<platform::FileStream> stream;
    try {
        stream = fs.OpenStream(FFileName, platform::StreamMode::OpenReadWriteDenyWrite);
    } catch (const platform::EFileStreamError&) {
        RaiseCannotCreate(FFileName, Refusal.ErrorCode(), Refusal.Reason());
    }
    if (stream->Seek(0, platform::SeekOrigin::Begin) != 0) {
        RaiseCannotWrite(FFileName);
    }
    size_t done = 0;
    while (done < Bytes.size()) {
        const size_t wrote = stream->Write(Bytes.data() + done, Bytes.size() - done);
        if (wrote == 0) {
            RaiseCannotWrite(FFileName);
        }
        done += wrote;
    }
    if (!stream->SetSize(static_cast<int64_t>(Bytes.size())) || !stream->Flush()) {
        RaiseCannotWrite(FFileName);
    }
}

const TMemIniFile::Section* TMemIniFile::FindSection(std::string_view Name) const {
    for (const Section& section : FSections) {
        if (platform::SameText(section.Name, Name)) {
            return &section;
        }
    }
    return nullptr;
}

TMemIniFile::Section* TMemIniFile::FindSection(std::string_view Name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(Name));
}

bool TMemIniFile::SectionExists(std::string_view Section) const {
    const auto* section = FindSection(Section);
    return section != nullptr && !section->Entries.empty();
}

std::vector<std::string> TMemIniFile::ReadSectionValues(std::string_view Section) const {
    const auto* section = FindSection(Section);
    return section ? section->Entries : std::vector<std::string>{};
}

std::vector<std::string> TMemIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (const Section& section : FSections) {
        names.push_back(section.Name);
    }
    return names;
}

std::string TMemIniFile::ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) const {
    if (const auto* section = FindSection(Section)) {
        for (const std::string& entry : section->Entries) {
            std::string_view name;
            if (EntryName(entry, name) && platform::SameText(name, Ident)) {
                return entry.substr(name.size() + 1);
            }
        }
    }
    return std::string(Default);
}

bool TMemIniFile::ValueExists(std::string_view Section, std::string_view Ident) const {
    if (const auto* section = FindSection(Section)) {
        for (const std::string& entry : section->Entries) {
            std::string_view name;
            if (EntryName(entry, name) && platform::SameText(name, Ident)) {
                return true;
            }
        }
    }
    return false;
}

void TMemIniFile::WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) {
    auto* section = FindSection(Section);
    if (section == nullptr) {
        FSections.push_back({std::string(Section), {}});
        section = &FSections.back();
    }
    std::string line(Ident);
    line += '=';
    line += Value;
    for (std::string& entry : section->Entries) {
        std::string_view name;
        if (EntryName(entry, name) && platform::SameText(name, Ident)) {
            entry = std::move(line);
            return;
        }
    }
    section->Entries.push_back(std::move(line));
}

void TMemIniFile::DeleteKey(std::string_view Section, std::string_view Ident) {
    if (auto* section = FindSection(Section)) {
        auto& entries = section->Entries;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            std::string_view name;
            if (EntryName(*it, name) && platform::SameText(name, Ident)) {
                entries.erase(it);
                return;
            }
        }
    }
}

void TMemIniFile::EraseSection(std::string_view Section) {
    for (auto it = FSections.begin(); it != FSections.end(); ++it) {
        if (platform::SameText(it->Name, Section)) {
            FSections.erase(it);
            return;
        }
    }
}

// Where the platform keeps INI files entry by entry, its functions are used; elsewhere each call reads the
// file afresh through the INI document and writes it back at once, which gives the same results.
TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}

TIniFile::~TIniFile() {
    if (platform::HasPrivateProfile()) {
        platform::FlushPrivateProfile(FFileName);
    }
}

void TIniFile::WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) {
    if (platform::HasPrivateProfile()) {
        if (!platform::WritePrivateProfileEntry(FFileName, std::string(Section), std::string(Ident),
                                                std::string(Value))) {
            throw platform::Exception("Unable to write to " + FFileName);
        }
        return;
    }
    try {
        TMemIniFile document(FFileName);
        document.WriteString(Section, Ident, Value);
        document.UpdateFile();
    } catch (const platform::Exception&) {
        throw platform::Exception("Unable to write to " + FFileName);
    }
}

std::string TIniFile::ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) const {
    if (platform::HasPrivateProfile()) {
        const auto value = platform::ReadPrivateProfileEntry(FFileName, std::string(Section), std::string(Ident));
        return value ? *value : std::string(Default);
    }
    return TMemIniFile(FFileName).ReadString(Section, Ident, Default);
}

bool TIniFile::ValueExists(std::string_view Section, std::string_view Ident) const {
    if (platform::HasPrivateProfile()) {
        for (const std::string& key : platform::ReadPrivateProfileKeys(FFileName, std::string(Section))) {
            if (platform::SameText(key, Ident)) {
                return true;
            }
        }
        return false;
    }
    return TMemIniFile(FFileName).ValueExists(Section, Ident);
}

void TIniFile::DeleteKey(std::string_view Section, std::string_view Ident) {
    if (platform::HasPrivateProfile()) {
        platform::WritePrivateProfileEntry(FFileName, std::string(Section), std::string(Ident), std::nullopt);
        return;
    }
    TMemIniFile document(FFileName);
    if (document.ValueExists(Section, Ident)) {
        document.DeleteKey(Section, Ident);
        document.UpdateFile();
    }
}

} // namespace pardova
