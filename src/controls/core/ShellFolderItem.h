#pragma once
// One item of the folder picker's namespace. An item is identified by the names that lead to it from the
// top (its absolute identity); its last name is its identity relative to its parent.
// On POSIX the top is "/", whose identity is empty. On Windows the top is the desktop of the shell
// namespace (empty identity), which stands for the folder the shell keeps it in; below it come the
// computer (kComputerId), whose children are the drive roots ("C:"), and the desktop folder's own folders.

#include "platform/core/Override.h"
#include "platform/core/Path.h"

#include <string>
#include <vector>

namespace pardova {

using TItemId = std::vector<std::string>;

// The computer's identity below the Windows desktop: its parsing name, which no folder can be called.
inline constexpr const char* kComputerId = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

// The fixed items of the Windows namespace, as the platform names them (GetShellDesktop); empty names get
// the English ones. An empty DesktopPath means the desktop has no folder of the file system.
struct TWindowsNamespace {
    std::string DesktopName;
    std::string DesktopPath;
    std::string ComputerName;
};
// The namespace that Windows-style items use: the one TheWindowsNamespace points to, else the platform's
// (read once).
const TWindowsNamespace& WindowsNamespace();
// None in the program; tests point it at a namespace of their own.
extern platform::OverridePoint<const TWindowsNamespace*> TheWindowsNamespace;

class TShellFolderItem {
public:
    TShellFolderItem(TShellFolderItem* parent, TItemId absoluteId,
                     platform::PathStyle style = platform::kNativePathStyle);

    const TItemId& AbsoluteId() const { return FAbsoluteId; }
    platform::PathStyle Style() const { return FStyle; }

    // The item's full path, with a trailing separator only for a root. The Windows computer (and a desktop
    // without a folder), which has no path, gives its display name (a plain name, not a path).
    std::string PathName() const;
    // The name shown in the tree.
    std::string DisplayName() const;
    // Whether the item is a virtual item rather than a folder of the file system.
    bool IsVirtual() const;
    // Whether the item may have subfolders. A folder with very many entries is answered optimistically;
    // the expand mark of its node goes away when its children turn out to be none.
    bool SubFolders() const;
    // Whether the item may be renamed: any folder except a root.
    bool CanRename() const;
    // Gives the folder a new name in the same parent, never replacing an existing entry. False when the
    // name is not a single valid name or the platform refuses; the item is then unchanged.
    bool Rename(const std::string& newName);
    // Moves the item to a new absolute identity (after its own or an ancestor's rename).
    void SetAbsoluteId(TItemId id) { FAbsoluteId = std::move(id); }

    // The children's identities, folders only (hidden ones included); none when the folder cannot be read.
    std::vector<TItemId> EnumerateFolders() const;

    // Whether two identities name the same item (names compare case-insensitively on Windows).
    static bool SameId(const TItemId& a, const TItemId& b, platform::PathStyle style = platform::kNativePathStyle);
    // The identity of a full path, or false when it cannot be parsed.
    static bool ParsePath(const std::string& fullPath, TItemId& id,
                          platform::PathStyle style = platform::kNativePathStyle);
    // The full path of an identity.
    static std::string PathOf(const TItemId& id, platform::PathStyle style = platform::kNativePathStyle);
    // Whether a typed text is one valid name for a folder in its parent.
    static bool IsValidNewName(const std::string& name, platform::PathStyle style = platform::kNativePathStyle);

private:
    std::string ShownName(std::string text) const;

    TShellFolderItem* FParent;
    TItemId FAbsoluteId;
    platform::PathStyle FStyle;
};

// A name or path of two or more characters that begins with "?" and a digit loses every "?" it holds.
std::string StripQuestionMarks(std::string text);

} // namespace pardova
