#pragma once
// Trees deeper than any path the system accepts in one call (PATH_MAX), made, read and removed through
// descriptors relative to their parents, one level at a time, so that building and checking one of
// thousands of levels stays fast. POSIX only.

#ifndef _WIN32

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace pardova::testing {

// A descriptor closed when it goes out of scope.
class HeldFd {
public:
    explicit HeldFd(int fd = -1) : FFd(fd) {}
    HeldFd(HeldFd&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    HeldFd& operator=(HeldFd&& other) noexcept {
        std::swap(FFd, other.FFd);
        return *this;
    }
    HeldFd(const HeldFd&) = delete;
    HeldFd& operator=(const HeldFd&) = delete;
    ~HeldFd() {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }

private:
    int FFd;
};

inline HeldFd OpenFolderAt(int at, const std::string& name) {
    return HeldFd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
}

inline void WriteFileAt(int at, const std::string& name, const std::string& content) {
    const HeldFd fd(::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    ASSERT_TRUE(fd) << name;
    ASSERT_EQ(::write(fd.Get(), content.data(), content.size()), static_cast<ssize_t>(content.size())) << name;
}

inline std::string ReadFileAt(int at, const std::string& name) {
    const HeldFd fd(::openat(at, name.c_str(), O_RDONLY | O_CLOEXEC));
    std::string content;
    char buffer[4096];
    ssize_t n = 0;
    while (fd && (n = ::read(fd.Get(), buffer, sizeof buffer)) > 0) {
        content.append(buffer, static_cast<size_t>(n));
    }
    return content;
}

// Under `root` (an existing folder): `depth` nested folders named `name`; the folder at level L (0 is the
// first below root) holds a file "f" with the text of L wherever `hasFile(L)`.
template <typename HasFile>
void MakeChain(const std::string& root, int depth, const std::string& name, HasFile hasFile) {
    HeldFd at(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(at) << root;
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(at.Get(), name.c_str(), 0755), 0) << "level " << level;
        HeldFd next = OpenFolderAt(at.Get(), name);
        ASSERT_TRUE(next) << "level " << level;
        at = std::move(next);
        if (hasFile(level)) {
            WriteFileAt(at.Get(), "f", std::to_string(level));
        }
    }
}

// The lines a first pass over a tree (its copy still missing) writes, from an independent walk that keeps
// one open directory per level: each entry's source path in the order the directory lists it, a folder's
// content right after its own line, each file followed by its copy line.
inline std::vector<std::string> FirstPassLinesOf(const std::string& source, const std::string& dest) {
    struct Level {
        DIR* Dir;
        size_t SourceLength;
        size_t DestLength;
    };
    std::vector<std::string> lines;
    std::string sourcePath = source.back() == '/' ? source : source + "/";
    std::string destPath = dest.back() == '/' ? dest : dest + "/";
    std::vector<Level> levels;
    DIR* top = ::opendir(source.c_str());
    EXPECT_NE(top, nullptr) << source;
    if (top == nullptr) {
        return lines;
    }
    levels.push_back({top, sourcePath.size(), destPath.size()});
    while (!levels.empty()) {
        Level& level = levels.back();
        const dirent* d = ::readdir(level.Dir);
        if (d == nullptr) {
            ::closedir(level.Dir);
            levels.pop_back();
            continue;
        }
        const std::string name = d->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        sourcePath.resize(level.SourceLength);
        sourcePath += name;
        destPath.resize(level.DestLength);
        destPath += name;
        lines.push_back(sourcePath);
        struct stat st {};
        EXPECT_EQ(::fstatat(::dirfd(level.Dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW), 0) << name;
        if (S_ISDIR(st.st_mode)) {
            const int fd = ::openat(::dirfd(level.Dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
            EXPECT_NE(dir, nullptr) << "level " << levels.size();
            if (dir == nullptr) {
                break;
            }
            levels.push_back({dir, sourcePath.size() + 1, destPath.size() + 1});
            sourcePath += '/';
            destPath += '/';
        } else {
            lines.push_back("  копирую -> " + destPath);
        }
    }
    for (Level& level : levels) {
        ::closedir(level.Dir);
    }
    return lines;
}

// Removes what a folder holds, to any depth: each level is reached through its parent's descriptor, and
// emptied before it is removed (one descriptor per level, so the soft limit is raised meanwhile).
inline void RemoveTreeContent(const std::string& root) {
    struct rlimit saved {};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    struct rlimit raised = saved;
    raised.rlim_cur = saved.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &raised);
    struct Level {
        DIR* Dir;
        std::string Name; // in the level above; empty for root
    };
    std::vector<Level> levels;
    if (DIR* top = ::opendir(root.c_str())) {
        levels.push_back({top, ""});
    }
    while (!levels.empty()) {
        const dirent* d = ::readdir(levels.back().Dir);
        if (d == nullptr) {
            const Level done = levels.back();
            levels.pop_back();
            ::closedir(done.Dir);
            if (!levels.empty()) {
                ::unlinkat(::dirfd(levels.back().Dir), done.Name.c_str(), AT_REMOVEDIR);
            }
            continue;
        }
        const std::string name = d->d_name;
        const int at = ::dirfd(levels.back().Dir);
        if (name == "." || name == ".." || ::unlinkat(at, name.c_str(), 0) == 0) {
            continue;
        }
        ::fchmodat(at, name.c_str(), 0700, 0);
        const int fd = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (dir == nullptr) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;
        }
        levels.push_back({dir, name});
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
}

} // namespace pardova::testing

#endif
