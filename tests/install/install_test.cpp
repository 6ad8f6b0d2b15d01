// The demo installed and started as a user would, from an unrelated working
// directory: it loads its data (Escape is read from the first frame on) and
// ends on Escape with status 0. The build's install script runs from a copy
// whose manifest goes to the test's own folder: the user's
// build/install_manifest.txt, which the uninstall reads, is never rewritten.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

TEST(Install, InstalledProgramLoadsItsDataFromAnUnrelatedDirectory) {
    const TempDir scratch; // the install script, its manifest and the prefix
    const std::string build = std::getenv("DEMO_BUILD_DIR"), prefix = scratch.Path("prefix");
    std::string script = ReadWholeFile(build + "/cmake_install.cmake");
    const std::string manifest = "file(WRITE \"" + build + "/";
    const size_t at = script.find(manifest);
    ASSERT_NE(at, std::string::npos) << "the install script writes its manifest elsewhere";
    script.replace(at, manifest.size(), "file(WRITE \"" + scratch.dir() + "/");
    std::ofstream(scratch.Path("cmake_install.cmake")) << script;
    const ChildResult install =
        RunChild(std::getenv("DEMO_CMAKE"), scratch.dir(), {}, 120, {},
                 {"-DCMAKE_INSTALL_PREFIX=" + prefix, "-P", scratch.Path("cmake_install.cmake")});
    ASSERT_EQ(install.status, 0) << install.err;
    EXPECT_TRUE(std::filesystem::exists(scratch.Path("install_manifest.txt")));
    EXPECT_TRUE(std::filesystem::exists(prefix + "/share/icons/hicolor/256x256/apps/ninefold.png"));
    const ChildResult desktop = RunChild("desktop-file-validate", "/", {}, 30, {},
                                         {prefix + "/share/applications/ninefold.desktop"});
    EXPECT_EQ(desktop.status, 0) << desktop.err;

    const ChildResult run = RunChild(prefix + "/bin/ninefold", "/", {"SDL_AUDIODRIVER=dummy"}, 90,
                                     [] { Shell("xdotool key Escape"); });
    EXPECT_EQ(run.status, 0) << run.err; // -1 unless it ended by itself
    EXPECT_EQ(run.err, "");
}
