// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace kestrin {

// What a file dialog lists of a folder. Names are the bytes the file system
// holds, whatever they are: a name that is no valid text in any encoding is
// still listed, and opened by the same bytes.
struct FolderEntry {
    std::string name;
    bool folder = false;

    bool operator==(const FolderEntry&) const = default;
};

// The patterns of a filter as a file dialog gives it: "Logs (*.txt *.log)"
// gives *.txt and *.log; a filter without parentheses is its own patterns.
std::vector<std::string> FilterPatterns(std::string_view filter);

// Whether `name` matches the shell pattern `pattern` (fnmatch), letters in
// either case.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The entries of the folder at `path`: ".." first unless it is the root,
// then its folders, then the files that match one of `patterns` (every file
// when there is none), each group by name, letters in either case together.
// Names starting with "." are hidden. A link counts as what it leads to.
// The failure when the folder cannot be read.
Status ListFolder(const std::string& path, const std::vector<std::string>& patterns,
                  std::vector<FolderEntry>& entries);

// `name` in `folder`; ".." is the folder above.
std::string EnterPath(const std::string& folder, const std::string& name);

}  // namespace kestrin
