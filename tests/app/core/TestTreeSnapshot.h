#pragma once
// What a folder tree holds, read through the platform layer, so that a test can compare a whole tree before
// and after a pass.

#include "platform/core/FileSystem.h"
#include "platform/core/TestFsSupport.h"

#include <map>
#include <optional>
#include <ostream>
#include <string>

namespace pardova::testing {

// What a tree holds: per path below its root, whether it is a folder, and a file's size, time and bytes.
struct Item {
    bool Folder = false;
    uint64_t Size = 0;
    uint64_t Time = 0;
    std::string Content;
    friend bool operator==(const Item&, const Item&) = default;
    friend void PrintTo(const Item& item, std::ostream* out) {
        if (item.Folder) {
            *out << "folder";
        } else {
            *out << "file of " << item.Size << " bytes at " << item.Time << ": \"" << item.Content.substr(0, 40)
                 << (item.Content.size() > 40 ? "...\"" : "\"");
        }
    }
};
using Tree = std::map<std::string, Item>;

inline Tree Snapshot(const std::string& root) {
    Tree tree;
    const stdfs::path base = PathFromUtf8(root);
    for (auto it = stdfs::recursive_directory_iterator(base); it != stdfs::recursive_directory_iterator(); ++it) {
        const std::string relative = Utf8FromPath(it->path().lexically_relative(base));
        Item item;
        item.Folder = it->is_directory();
        if (!item.Folder) {
            const std::optional<platform::FileAttributeData> data =
                platform::NativeFs().GetAttributeData(Utf8FromPath(it->path()));
            EXPECT_TRUE(data.has_value()) << relative;
            if (data) {
                item.Size = data->Size;
                item.Time = data->LastWriteTime;
            }
            item.Content = ReadFile(Utf8FromPath(it->path()));
        }
        tree[relative] = item;
    }
    return tree;
}

// A file's bytes read through the platform layer.
inline std::string ReadThroughFs(const std::string& path) {
    const std::unique_ptr<platform::FileStream> stream =
        platform::NativeFs().OpenStream(path, platform::StreamMode::OpenReadShareRead);
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    bytes.resize(stream->Read(bytes.data(), bytes.size()));
    return bytes;
}

} // namespace pardova::testing
