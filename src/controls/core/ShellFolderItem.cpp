#include "controls/core/ShellFolderItem.h"

#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Shell.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace pardova {

using platform::IsPathDelimiter;
using platform::PathStyle;

namespace {

const TWindowsNamespace& PlatformNamespace() {
    static const TWindowsNamespace value = [] {
        const platform::ShellDesktop desktop = platform::GetShellDesktop();
        return TWindowsNamespace{desktop.DesktopName, desktop.DesktopPath, desktop.ComputerName};
    }();
    return value;
}

std::string DesktopName() {
    const std::string& name = WindowsNamespace().DesktopName;
    return name.empty() ? "Desktop" : name;
}

std::string ComputerName() {
    const std::string& name = WindowsNamespace().ComputerName;
    return name.empty() ? "Computer" : name;
}

bool IsComputerRoute(const TItemId& id) { return !id.empty() && id.front() == kComputerId; }

// Deciding whether a folder has subfolders reads its entries; past this many the answer is a cheap "yes"
// so that expanding a node never reads every grandchild folder in full.
constexpr int kSubFolderProbeLimit = 64;

bool IsDriveName(const std::string& name) {
    return name.size() == 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string WindowsDesktopPath() {
    std::string path = WindowsNamespace().DesktopPath;
    while (path.size() > 3 && IsPathDelimiter(path.back(), PathStyle::Windows)) {
        path.pop_back();
    }
    return path;
}

} // namespace

platform::OverridePoint<const TWindowsNamespace*> TheWindowsNamespace{nullptr};

const TWindowsNamespace& WindowsNamespace() {
    const TWindowsNamespace* chosen = TheWindowsNamespace.Get();
    return chosen != nullptr ? *chosen : PlatformNamespace();
}

std::string StripQuestionMarks(std::string text) {
    if (text.size() >= 2 && text[0] == '?' && std::isdigit(static_cast<unsigned char>(text[1]))) {
        text.erase(std::remove(text.begin(), text.end(), '?'), text.end());
    }
    return text;
}

TShellFolderItem::TShellFolderItem(TShellFolderItem* parent, TItemId absoluteId, PathStyle style)
    : FParent(parent), FAbsoluteId(std::move(absoluteId)), FStyle(style) {}

bool TShellFolderItem::IsVirtual() const {
    if (FStyle != PathStyle::Windows) {
        return false;
    }
    if (FAbsoluteId.empty()) {
        return WindowsDesktopPath().empty();
    }
    return FAbsoluteId.size() == 1 && IsComputerRoute(FAbsoluteId);
}

std::string TShellFolderItem::PathName() const {
    if (IsVirtual()) {
        return DisplayName();
    }
    return ShownName(PathOf(FAbsoluteId, FStyle));
}

std::string TShellFolderItem::DisplayName() const {
    if (FAbsoluteId.empty()) {
        return FStyle == PathStyle::Windows ? DesktopName() : "/";
    }
    if (FStyle == PathStyle::Windows && IsComputerRoute(FAbsoluteId)) {
        if (FAbsoluteId.size() == 1) {
            return ComputerName();
        }
        if (FAbsoluteId.size() == 2) {
            return PathOf(FAbsoluteId, FStyle);
        }
    }
    return ShownName(FAbsoluteId.back());
}

// Windows forbids "?" in file names, so there the rule touches only the platform's odd names. A POSIX
// name may hold "?" and is its own path: dropping one would name another folder.
std::string TShellFolderItem::ShownName(std::string text) const {
    return FStyle == PathStyle::Windows ? StripQuestionMarks(std::move(text)) : text;
}

std::string TShellFolderItem::PathOf(const TItemId& id, PathStyle style) {
    if (style == PathStyle::Posix) {
        std::string path;
        for (const std::string& name : id) {
            path += '/';
            path += name;
        }
        return path.empty() ? "/" : path;
    }
    if (id.empty()) {
        return WindowsDesktopPath();
    }
    if (!IsComputerRoute(id)) {
        // A folder of the desktop: below the folder that holds the desktop's items.
        std::string path = WindowsDesktopPath();
        if (path.empty()) {
            return path;
        }
        for (const std::string& name : id) {
            path = platform::IncludeSlash(path, style) + name;
        }
        return path;
    }
    if (id.size() == 1) {
        return std::string();
    }
    std::string path = id[1];
    if (id.size() == 2) {
        return path + '\\';
    }
    for (size_t i = 2; i < id.size(); ++i) {
        path += '\\';
        path += id[i];
    }
    return path;
}

namespace {

// The names of a full path from its top: "/" on POSIX, the drive on Windows.
bool PathNames(const std::string& fullPath, TItemId& id, PathStyle style) {
    id.clear();
    if (fullPath.empty() || fullPath.find('\0') != std::string::npos) {
        return false;
    }
    if (style == PathStyle::Posix) {
        if (fullPath.front() != '/') {
            return false;
        }
    } else if (fullPath.size() < 2 || !IsDriveName(fullPath.substr(0, 2)) ||
               (fullPath.size() > 2 && !IsPathDelimiter(fullPath[2], style))) {
        // Only drive paths are held by the tree; a network path has no node to select.
        return false;
    }
    std::string name;
    for (char c : fullPath) {
        if (IsPathDelimiter(c, style)) {
            if (!name.empty()) {
                id.push_back(std::move(name));
                name.clear();
            }
        } else {
            name += c;
        }
    }
    if (!name.empty()) {
        id.push_back(std::move(name));
    }
    // A full path is resolved already; any "." or ".." left means it was not.
    return std::none_of(id.begin(), id.end(), [](const std::string& n) { return n == "." || n == ".."; });
}

} // namespace

bool TShellFolderItem::ParsePath(const std::string& fullPath, TItemId& id, PathStyle style) {
    if (!PathNames(fullPath, id, style)) {
        return false;
    }
    if (style == PathStyle::Windows) {
        // The desktop's folder and what lies below it are the desktop's own items; every other path is
        // reached through the computer and its drives.
        TItemId desktop;
        if (PathNames(WindowsDesktopPath(), desktop, style) && id.size() >= desktop.size() &&
            SameId(TItemId(id.begin(), id.begin() + static_cast<std::ptrdiff_t>(desktop.size())), desktop, style)) {
            id.erase(id.begin(), id.begin() + static_cast<std::ptrdiff_t>(desktop.size()));
        } else {
            id.insert(id.begin(), kComputerId);
        }
    }
    return true;
}

bool TShellFolderItem::SameId(const TItemId& a, const TItemId& b, PathStyle style) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (style == PathStyle::Windows ? Lower(a[i]) != Lower(b[i]) : a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

bool TShellFolderItem::IsValidNewName(const std::string& name, PathStyle style) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) {
        return false;
    }
    const std::string forbidden = style == PathStyle::Windows ? "\\/:*?\"<>|" : "/";
    return name.find_first_of(forbidden) == std::string::npos;
}

std::vector<TItemId> TShellFolderItem::EnumerateFolders() const {
    std::vector<TItemId> children;
    auto& fs = platform::Fs();
    if (FStyle == PathStyle::Windows && FAbsoluteId.size() == 1 && IsComputerRoute(FAbsoluteId)) {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const std::string drive{letter, ':'};
            uint32_t error = 0;
            if (fs.GetAttributes(drive + "\\", &error)) {
                children.push_back({kComputerId, drive});
            }
        }
        return children;
    }
    if (FStyle == PathStyle::Windows && FAbsoluteId.empty()) {
        children.push_back({kComputerId});
        if (IsVirtual()) {
            return children;
        }
    }
    auto search = fs.FindFirst(platform::IncludeSlash(PathOf(FAbsoluteId, FStyle), FStyle) + "*");
    if (!search) {
        return children;
    }
    platform::DirEntry entry;
    while (search->Next(entry)) {
        if ((entry.Attributes & platform::kAttrDirectory) == 0 || entry.Name == "." || entry.Name == "..") {
            continue;
        }
        TItemId child = FAbsoluteId;
        child.push_back(entry.Name);
        children.push_back(std::move(child));
    }
    return children;
}

bool TShellFolderItem::SubFolders() const {
    // The Windows desktop holds the computer; the computer holds the drives.
    if (IsVirtual() || (FStyle == PathStyle::Windows && FAbsoluteId.empty())) {
        return true;
    }
    auto search = platform::Fs().FindFirst(platform::IncludeSlash(PathOf(FAbsoluteId, FStyle), FStyle) + "*");
    if (!search) {
        return false;
    }
    platform::DirEntry entry;
    for (int seen = 0; search->Next(entry); ++seen) {
        if (seen >= kSubFolderProbeLimit) {
            return true;
        }
        if ((entry.Attributes & platform::kAttrDirectory) != 0 && entry.Name != "." && entry.Name != "..") {
            return true;
        }
    }
    return false;
}

bool TShellFolderItem::CanRename() const {
    if (FStyle == PathStyle::Windows) {
        // Not the desktop, the computer or a drive root.
        return IsComputerRoute(FAbsoluteId) ? FAbsoluteId.size() >= 3 : !FAbsoluteId.empty();
    }
    return !FAbsoluteId.empty();
}

bool TShellFolderItem::Rename(const std::string& newName) {
    if (!CanRename() || !IsValidNewName(newName, FStyle)) {
        return false;
    }
    TItemId renamed = FAbsoluteId;
    renamed.back() = newName;
    if (renamed.back() == FAbsoluteId.back()) {
        return true;
    }
    if (!platform::Fs().MoveNoReplace(PathOf(FAbsoluteId, FStyle), PathOf(renamed, FStyle))) {
        return false;
    }
    FAbsoluteId = std::move(renamed);
    return true;
}

} // namespace pardova
