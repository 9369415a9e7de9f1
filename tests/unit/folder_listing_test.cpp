// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "common/folder_listing.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

TEST(FolderListingTest, ListsEveryNameAsItsBytes) {
    test::TempDir dir;
    for (const char* name : {"Log1.txt", "b.TXT", "notes.csv", "\xff\xfe.txt", "caf\xc3\xa9.txt",
                             ".hidden.txt", "a.txt.bak"})
        test::WriteWholeFile(dir.file(name), "x");
    for (const char* name : {"sub", "Zeta.txt", "\xff"}) mkdir(dir.file(name).c_str(), 0700);
    const struct {
        std::vector<std::string> patterns;
        std::vector<std::string> names;
    } cases[] = {
        {{"*.txt"},
         {"..", "sub/", "Zeta.txt/", "\xff/", "b.TXT", "caf\xc3\xa9.txt", "Log1.txt",
          "\xff\xfe.txt"}},
        {{"*.csv", "*.bak"}, {"..", "sub/", "Zeta.txt/", "\xff/", "a.txt.bak", "notes.csv"}},
    };
    for (const auto& c : cases) {
        std::vector<FolderEntry> entries;
        ASSERT_TRUE(ListFolder(dir.path(), c.patterns, entries).ok());
        std::vector<std::string> names;
        for (const FolderEntry& e : entries)
            names.push_back(e.folder && e.name != ".." ? e.name + "/" : e.name);
        EXPECT_EQ(names, c.names);
    }
    std::vector<FolderEntry> entries;
    EXPECT_EQ(ListFolder(dir.file("missing"), {}, entries).kind, ErrorKind::FileNotFound);
    EXPECT_TRUE(entries.empty());
}

TEST(FolderListingTest, MatchesFiltersAndWalksFolders) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } matches[] = {
        {"LOG.TXT", "*.txt", true}, {"a.txt.bak", "*.txt", false}, {"\xff.txt", "*.txt", true},
        {"anything", "*", true},    {"\xff", "?", true},           {"ab.txt", "?.txt", false},
    };
    for (const auto& m : matches)
        EXPECT_EQ(MatchesPattern(m.name, m.pattern), m.matches) << m.name << " " << m.pattern;

    const struct {
        const char* filter;
        std::vector<std::string> patterns;
    } filters[] = {
        {"Logs (*.txt)", {"*.txt"}},
        {"All files (*)", {"*"}},
        {"Logs (*.txt *.log)", {"*.txt", "*.log"}},
        {"*.csv", {"*.csv"}},
    };
    for (const auto& f : filters) EXPECT_EQ(FilterPatterns(f.filter), f.patterns) << f.filter;

    const struct {
        const char* folder;
        const char* name;
        const char* path;
    } paths[] = {
        {"/a/b", "..", "/a"}, {"/a", "..", "/"},         {"/a/", "..", "/"},
        {"/", "x", "/x"},     {"/a", "\xff", "/a/\xff"}, {"/a/", "x", "/a/x"},
    };
    for (const auto& p : paths) EXPECT_EQ(EnterPath(p.folder, p.name), p.path);
}

}  // namespace
}  // namespace kestrin
