// The class path builder against real directories. Where several files of one directory
// are emitted, their order is the listing's own, so those runs are compared as sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "javahost/class_path.h"
#include "test_support.h"

namespace {

using orvo_test::temp_dir;
using orvo_test::write_file;
namespace fs = std::filesystem;

std::vector<std::string> split_entries(const std::string& class_path) {
    std::vector<std::string> entries;
    std::string::size_type start = 0;
    for (auto end = class_path.find(';'); end != std::string::npos;
         end = class_path.find(';', start)) {
        entries.push_back(class_path.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, class_path.size()) << "every entry must be followed by ';'";
    return entries;
}

std::vector<std::string> sorted(std::vector<std::string> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

class ClassPath : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string root = dir / "";
    void file(const std::string& name) { write_file(root + name, "x"); }
    void folder(const std::string& name) { fs::create_directories(root + name); }
};

TEST_F(ClassPath, StarredItemsListJarFilesAndOtherItemsPassVerbatim) {
    folder("lib/conf");
    folder("lib/old.jar");
    for (const char* name : {"lib/app.jar", "lib/LEGACY.JAR", "lib/notes.txt", "lib/util.jar",
                             "lib/conf/inner.jar", "lib/old.jar/inner.jar"}) {
        file(name);
    }
    const std::string lib = root + "lib/";
    const auto entries = split_entries(
        build_class_path(lib + "*;" + root + "classes;;" + root + "ext/*;" + lib + "*.jar"));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(sorted({entries[0], entries[1]}),
              (std::vector<std::string>{lib + "app.jar", lib + "util.jar"}));
    EXPECT_EQ(entries[2], root + "classes");
    EXPECT_EQ(entries[3], lib + "*.jar");
}

TEST_F(ClassPath, EmptyRunsAreDroppedAndEveryItemEndsWithASeparator) {
    EXPECT_EQ(build_class_path(";a.jar;;b.jar;"), "a.jar;b.jar;");
    EXPECT_EQ(build_class_path("a.jar;b.jar"), "a.jar;b.jar;");
    EXPECT_EQ(build_class_path("one"), "one;");
    EXPECT_EQ(build_class_path(";"), "");
    EXPECT_EQ(build_class_path(";;;"), "");
    EXPECT_EQ(build_class_path(""), "");
}

TEST_F(ClassPath, OnlyAFinalStarExpandsAndSpacesBelongToTheItem) {
    file("lib/a.jar");
    EXPECT_EQ(build_class_path(root + "lib/* "), root + "lib/* ;");
    EXPECT_EQ(build_class_path(root + "l*b/x"), root + "l*b/x;");

    folder(" spaced");
    file(" spaced/s.jar");
    const std::string spaced = root + " spaced/";
    EXPECT_EQ(build_class_path(spaced + "*"), spaced + "s.jar;");
}

TEST_F(ClassPath, PrefixWithoutSeparatorMatchesNamesAndIsJoinedUnchanged) {
    file("libx.jar");
    file("other.jar");
    folder("lib");
    file("lib/inside.jar");
    // The prefix names the folder's entries starting with "lib"; each name is joined to the
    // prefix as it stands, so libx.jar becomes "liblibx.jar".
    EXPECT_EQ(build_class_path(root + "lib*"), root + "liblibx.jar;");
}

TEST_F(ClassPath, JarEndingIsCaseSensitiveAndTestedOnTheWholeName) {
    for (const char* name : {"A.JAR", "b.Jar", "c.jar.bak", ".jar", "d.jar"}) {
        file(name);
    }
    EXPECT_EQ(sorted(split_entries(build_class_path(root + "*"))),
              (std::vector<std::string>{root + ".jar", root + "d.jar"}));
}

TEST_F(ClassPath, BareStarListsTheCurrentDirectoryWithBareNames) {
    file("ab");
    file("z.jar");
    folder("sub.jar");
    orvo_test::current_directory here(dir.path());
    EXPECT_EQ(build_class_path("*"), "z.jar;");
}

TEST_F(ClassPath, RepeatsAreKeptAndMissingDirectoriesGiveNothing) {
    file("only.jar");
    const std::string item = root + "*";
    EXPECT_EQ(build_class_path(item + ";" + root + "only.jar;" + item),
              root + "only.jar;" + root + "only.jar;" + root + "only.jar;");
    EXPECT_EQ(build_class_path(root + "missing/*;" + root + "missing/x.jar"),
              root + "missing/x.jar;");
}

TEST_F(ClassPath, CollectAppendsWithoutClearingTheList) {
    file("k.jar");
    std::list<std::string> paths{"earlier"};
    collect_jar_files(root, paths);
    collect_jar_files(root + "none/", paths);
    EXPECT_EQ(paths, (std::list<std::string>{"earlier", root + "k.jar"}));
}

TEST(ClassPathOption, IsThePrefixAndTheValueUnchanged) {
    EXPECT_EQ(make_class_path_option(""), "-Djava.class.path=");
    EXPECT_EQ(make_class_path_option("a.jar;b dir/;"), "-Djava.class.path=a.jar;b dir/;");
}

} // namespace
