// The demo started as a user would: installed, or from the build tree, from
// several working directories. Each run plays three seconds, shows a
// picture, and ends on Escape with status 0.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string build_dir() { return std::getenv("DEMO_BUILD_DIR"); }
std::string source_dir() { return std::getenv("TEST_SOURCE_DIR"); }

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int shell(const std::string& command) {
    int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// True when the root window holds more than one colour.
bool screen_varied() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* img = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    bool varied = false;
    if (img) {
        unsigned long first = XGetPixel(img, 0, 0);
        for (int y = 0; y < a.height && !varied; y += 3)
            for (int x = 0; x < a.width && !varied; x += 3)
                varied = XGetPixel(img, x, y) != first;
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return varied;
}

void expect_plays_and_escapes(const std::string& program, const std::string& cwd) {
    bool varied = false;
    ChildResult run = RunChild(program, cwd, {"SDL_AUDIODRIVER=dummy"}, 30, [&] {
        sleep(3); // the demo plays in real time; three seconds into section 1
        varied = screen_varied();
        shell("xdotool key Escape");
    });
    EXPECT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("data/"), std::string::npos) << run.err;
    EXPECT_TRUE(varied) << "the screen was one uniform colour after 3 s";
}

} // namespace

TEST(Install, InstalledProgramPlaysFromAnUnrelatedDirectory) {
    std::string prefix = MakeTempDir();
    ASSERT_FALSE(prefix.empty());
    std::string cmake = std::getenv("DEMO_CMAKE");
    ASSERT_EQ(shell(cmake + " --install " + build_dir() + " --prefix " + prefix + " > /dev/null"),
              0);
    EXPECT_TRUE(exists(prefix + "/bin/ninefold"));
    EXPECT_TRUE(exists(prefix + "/share/ninefold/data/scene1.obj"));
    EXPECT_TRUE(exists(prefix + "/share/ninefold/data/music.ogg"));
    EXPECT_TRUE(exists(prefix + "/share/ninefold/data/img29.png"));
    EXPECT_TRUE(exists(prefix + "/share/icons/hicolor/256x256/apps/ninefold.png"));
    std::string desktop = prefix + "/share/applications/ninefold.desktop";
    ASSERT_TRUE(exists(desktop));
    EXPECT_EQ(shell("desktop-file-validate " + desktop), 0);

    expect_plays_and_escapes(prefix + "/bin/ninefold", "/");
    shell("rm -rf " + prefix);
}

TEST(Install, BuildTreeProgramPlaysFromTheRepositoryRoot) {
    expect_plays_and_escapes(build_dir() + "/ninefold", source_dir());
}

TEST(Install, BuildTreeProgramPlaysFromItsOwnDirectory) {
    expect_plays_and_escapes(build_dir() + "/ninefold", build_dir());
}

TEST(Install, WithoutDataAnywhereItSaysWhereItLookedAndExitsZero) {
    std::string dir = MakeTempDir();
    ASSERT_EQ(shell("cp " + build_dir() + "/ninefold " + dir + "/ninefold"), 0);
    ChildResult run = RunChild(dir + "/ninefold", "/", {"SDL_AUDIODRIVER=dummy"}, 30);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "ninefold: data/scene1.obj: not found (looked in /, " + dir +
                           ", " DEMO_INSTALLED_DATA ", " + dir + "/../share/ninefold)\n");
    shell("rm -rf " + dir);
}
