// The directory listing against real folders. The class path builder keeps whatever the
// listing yields, so its order and its "." and ".." entries are checked here as each
// operating system gives them: on Windows "." and ".." come first and the rest is
// sorted; elsewhere the entries come in the directory's own order.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <sys/resource.h>
#endif

#include "platform/directory_listing.h"
#include "test_support.h"

namespace {

using orvo_test::temp_dir;
using orvo_test::write_file;
namespace fs = std::filesystem;

struct listed {
    std::string name;
    bool is_directory;

    bool operator==(const listed& other) const {
        return name == other.name && is_directory == other.is_directory;
    }
    bool operator<(const listed& other) const { return name < other.name; }
};

void PrintTo(const listed& entry, std::ostream* out) {
    *out << '"' << entry.name << '"' << (entry.is_directory ? " (dir)" : "");
}

using listing = std::vector<listed>;

// Everything one search yields, in the order it yields it.
listing list(const std::string& pattern) {
    listing entries;
    platform::directory_search search;
    platform::directory_entry entry;
    if (search.first(pattern, entry)) {
        do {
            entries.push_back({entry.name, entry.is_directory});
        } while (search.next(entry));
        // The end stays the end.
        EXPECT_FALSE(search.next(entry)) << pattern;
    } else {
        EXPECT_FALSE(search.next(entry)) << pattern;
    }
    return entries;
}

bool is_dot(const listed& entry) {
    return entry.name == "." || entry.name == "..";
}

// The entries other than "." and "..", sorted; "." and "..", where listed, must be
// directories.
listing without_dots_sorted(const listing& entries) {
    listing rest;
    for (const listed& entry : entries) {
        if (is_dot(entry)) {
            EXPECT_TRUE(entry.is_directory) << entry.name;
        } else {
            rest.push_back(entry);
        }
    }
    std::sort(rest.begin(), rest.end());
    return rest;
}

#ifndef _WIN32
// Every name as readdir yields it, "." and ".." included where it does.
std::vector<std::string> readdir_names(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* found = readdir(dir)) {
            names.emplace_back(found->d_name);
        }
        closedir(dir);
    }
    return names;
}
#endif

class DirectoryListing : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string root = dir / ""; // ends with "/"
    void file(const std::string& name) { write_file(root + name, "x"); }
    void folder(const std::string& name) { fs::create_directories(root + name); }
};

TEST_F(DirectoryListing, BareStarListsEveryEntryWithItsKindInTheSystemsOrder) {
    for (const char* name : {"b.jar", "a.txt", ".hidden", "d9", "d10"}) {
        file(name);
    }
    folder("c.dir");
    folder("old.jar");
    file("c.dir/inner.jar"); // one level only

    const listing entries = list(root + "*");
    EXPECT_EQ(without_dots_sorted(entries), (listing{{".hidden", false},
                                                     {"a.txt", false},
                                                     {"b.jar", false},
                                                     {"c.dir", true},
                                                     {"d10", false},
                                                     {"d9", false},
                                                     {"old.jar", true}}));
#ifdef _WIN32
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], (listed{".", true}));
    EXPECT_EQ(entries[1], (listed{"..", true}));
    EXPECT_TRUE(std::is_sorted(entries.begin() + 2, entries.end()));
#else
    std::vector<std::string> names;
    for (const listed& entry : entries) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, readdir_names(root));
#endif
}

TEST_F(DirectoryListing, NamePrefixSelectsTheEntriesThatBeginWithIt) {
    for (const char* name : {"lib", "lib.jar", "libx.jar", "li.jar", "xlib.jar", "a-lib"}) {
        file(name);
    }
    folder("library");
    folder("sub");
    file("sub/lib.jar");

    EXPECT_EQ(
        without_dots_sorted(list(root + "lib*")),
        (listing{{"lib", false}, {"lib.jar", false}, {"library", true}, {"libx.jar", false}}));
    EXPECT_EQ(list(root + "lib.jar*"), (listing{{"lib.jar", false}}));
}

TEST_F(DirectoryListing, PatternWithoutSeparatorListsTheCurrentDirectory) {
    file("one.jar");
    file("two.txt");
    folder("three");
    orvo_test::current_directory here(dir.path());
    EXPECT_EQ(without_dots_sorted(list("*")),
              (listing{{"one.jar", false}, {"three", true}, {"two.txt", false}}));
    EXPECT_EQ(list("t*").size(), 2u);
    EXPECT_EQ(list("one*"), (listing{{"one.jar", false}}));
}

TEST_F(DirectoryListing, NothingListableGivesNoEntries) {
    file("plain.txt");
    folder("empty");
    EXPECT_EQ(list(root + "missing/*").size(), 0u);
    EXPECT_EQ(list(root + "plain.txt/*").size(), 0u) << "a file is no directory";
    EXPECT_EQ(list(root + "nothing-begins-so*").size(), 0u);
    // An empty directory holds at most its own "." and "..".
    const listing empty = list(root + "empty/*");
    EXPECT_TRUE(std::all_of(empty.begin(), empty.end(), is_dot));
    EXPECT_EQ(without_dots_sorted(empty).size(), 0u);
}

#ifdef _WIN32

TEST_F(DirectoryListing, WindowsTakesEitherSeparatorAndMatchesWithoutCase) {
    folder("lib");
    file("lib/App.jar");
    file("lib/apple.txt");
    file("lib/other.jar");
    std::string native = root + "lib/";
    std::replace(native.begin(), native.end(), '/', '\\');
    EXPECT_EQ(list(native + "*"), list(root + "lib/*"));
    EXPECT_EQ(without_dots_sorted(list(native + "AP*")),
              (listing{{"App.jar", false}, {"apple.txt", false}}));
}

#else

TEST_F(DirectoryListing, LinksCountAsWhatTheyPointTo) {
    folder("target-dir");
    file("target-file.jar");
    fs::create_directory_symlink(root + "target-dir", root + "link-dir");
    fs::create_symlink(root + "target-file.jar", root + "link-file.jar");
    fs::create_symlink(root + "gone", root + "link-dangling.jar");
    EXPECT_EQ(
        without_dots_sorted(list(root + "link*")),
        (listing{{"link-dangling.jar", false}, {"link-dir", true}, {"link-file.jar", false}}));
}

TEST_F(DirectoryListing, NamesAreBytesAndTheMatchIsLiteral) {
    // Not UTF-8, a backslash, upper case and a star: none of it is interpreted.
    for (const char* name : {"\xff\xfe.jar", "sub\\x.jar", "Lib.jar", "lib.jar", "*.jar"}) {
        file(name);
    }
    EXPECT_EQ(list(root + "\xff*"), (listing{{"\xff\xfe.jar", false}}));
    EXPECT_EQ(list(root + "lib*"), (listing{{"lib.jar", false}}));
    EXPECT_EQ(list(root + "sub\\*"), (listing{{"sub\\x.jar", false}}));
    EXPECT_EQ(list(root + "*.jar*"), (listing{{"*.jar", false}}));
}

TEST_F(DirectoryListing, EverySearchReleasesItsDirectory) {
    file("a.jar");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 64);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    // Far more searches than open files allowed: a search that kept its directory open
    // would make the later ones fail.
    int failures = 0;
    for (int i = 0; i < 500; ++i) {
        if (list(root + "a*").size() != 1) {
            ++failures;
        }
        platform::directory_search abandoned; // ends before its listing does
        platform::directory_entry entry;
        if (!abandoned.first(root + "*", entry)) {
            ++failures;
        }
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(failures, 0);
}

#endif

} // namespace
