// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folder_listing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace kestrin {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// By name, letters in either case together, then by the bytes themselves.
bool Before(const FolderEntry& a, const FolderEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const auto lower = [](char x, char y) {
        return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
    };
    if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                     lower))
        return true;
    if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(),
                                     lower))
        return false;
    return a.name < b.name;
}

}  // namespace

std::vector<std::string> FilterPatterns(std::string_view filter) {
    const std::size_t open = filter.rfind('(');
    const std::size_t close = filter.rfind(')');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open)
        filter = filter.substr(open + 1, close - open - 1);
    std::vector<std::string> patterns;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t end = std::min(filter.find(' ', start), filter.size());
        if (end > start) patterns.emplace_back(filter.substr(start, end - start));
        start = end + 1;
    }
    return patterns;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

Status ListFolder(const std::string& path, const std::vector<std::string>& patterns,
                  std::vector<FolderEntry>& entries) {
    entries.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
    if (!dir) return Status::FromErrno(errno);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) return Status::FromErrno(errno);
            break;
        }
        const std::string name = entry->d_name;
        if (name.starts_with('.')) continue;
        struct stat info {};
        // A link that leads nowhere is listed as a file, which then fails to open.
        const bool folder =
            fstatat(dirfd(dir.get()), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        if (!folder && !patterns.empty() &&
            std::none_of(patterns.begin(), patterns.end(),
                         [&](const std::string& p) { return MatchesPattern(name, p); }))
            continue;
        entries.push_back({name, folder});
    }
    std::sort(entries.begin(), entries.end(), Before);
    if (path != "/") entries.insert(entries.begin(), {"..", true});
    return Status::Ok();
}

std::string EnterPath(const std::string& folder, const std::string& name) {
    if (name == "..") {
        std::string above = folder;
        while (above.size() > 1 && above.back() == '/') above.pop_back();
        const std::size_t slash = above.rfind('/');
        if (slash == std::string::npos) return ".";
        return slash == 0 ? "/" : above.substr(0, slash);
    }
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

}  // namespace kestrin
