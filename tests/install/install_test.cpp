#include "tests/install/child_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string build_dir() { return std::getenv("DEMO_BUILD_DIR"); }
std::string source_dir() { return std::getenv("TEST_SOURCE_DIR"); }

// Plays for three seconds from `cwd`, then Escape: the demo must have found
// its data, shown a picture and ended cleanly.
void expect_plays_and_escapes(const std::string& program, const std::string& cwd) {
    ChildRun run = RunDemoChild(program, cwd, 3000, 20000);
    EXPECT_FALSE(run.signalled);
    EXPECT_EQ(run.status, 0) << run.stderr_text;
    EXPECT_EQ(run.stderr_text.find("data/"), std::string::npos) << run.stderr_text;
    EXPECT_TRUE(run.screenshot_varied) << "the screen was one uniform colour after 3 s";
}

} // namespace

TEST(Install, InstalledProgramPlaysFromAnUnrelatedDirectory) {
    std::string prefix = MakeTempDir();
    ASSERT_FALSE(prefix.empty());
    std::string cmake = std::getenv("DEMO_CMAKE");
    ASSERT_EQ(RunCommand(cmake + " --install " + build_dir() + " --prefix " + prefix +
                         " > /dev/null"),
              0);
    EXPECT_TRUE(FileExists(prefix + "/bin/ninefold"));
    EXPECT_TRUE(FileExists(prefix + "/share/ninefold/data/scene1.obj"));
    EXPECT_TRUE(FileExists(prefix + "/share/ninefold/data/music.ogg"));
    EXPECT_TRUE(FileExists(prefix + "/share/ninefold/data/img29.png"));
    EXPECT_TRUE(FileExists(prefix + "/share/icons/hicolor/256x256/apps/ninefold.png"));
    std::string desktop = prefix + "/share/applications/ninefold.desktop";
    ASSERT_TRUE(FileExists(desktop));
    EXPECT_EQ(RunCommand("desktop-file-validate " + desktop), 0);

    expect_plays_and_escapes(prefix + "/bin/ninefold", "/");
    RunCommand("rm -rf " + prefix);
}

TEST(Install, BuildTreeProgramPlaysFromTheRepositoryRoot) {
    expect_plays_and_escapes(build_dir() + "/ninefold", source_dir());
}

TEST(Install, BuildTreeProgramPlaysFromItsOwnDirectory) {
    expect_plays_and_escapes(build_dir() + "/ninefold", build_dir());
}

TEST(Install, WithoutDataAnywhereItSaysWhereItLookedAndExitsZero) {
    std::string dir = MakeTempDir();
    ASSERT_EQ(RunCommand("cp " + build_dir() + "/ninefold " + dir + "/ninefold"), 0);
    ChildRun run = RunDemoChild(dir + "/ninefold", "/", 20000, 20000);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.stderr_text.find("data/scene1.obj"), std::string::npos) << run.stderr_text;
    EXPECT_NE(run.stderr_text.find(dir), std::string::npos) << run.stderr_text;
    EXPECT_EQ(run.stderr_text.find('\n'), run.stderr_text.size() - 1) << "one line expected";
    RunCommand("rm -rf " + dir);
}
