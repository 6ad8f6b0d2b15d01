// The demo installed and started as a user would, from an unrelated working
// directory: it finds its data, shows a picture, and ends on Escape with
// status 0.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

int shell(const std::string& command) {
    return std::system(command.c_str());
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

} // namespace

TEST(Install, InstalledProgramPlaysFromAnUnrelatedDirectory) {
    std::string prefix = MakeTempDir();
    ASSERT_FALSE(prefix.empty());
    ASSERT_EQ(shell(std::string(std::getenv("DEMO_CMAKE")) + " --install " +
                    std::getenv("DEMO_BUILD_DIR") + " --prefix " + prefix + " > /dev/null"),
              0);
    EXPECT_TRUE(std::filesystem::exists(prefix + "/share/icons/hicolor/256x256/apps/ninefold.png"));
    EXPECT_EQ(shell("desktop-file-validate " + prefix + "/share/applications/ninefold.desktop"), 0);

    // The demo plays in real time: wait for section 1's picture, however
    // slowly a loaded machine gets there.
    bool varied = false;
    ChildResult run = RunChild(prefix + "/bin/ninefold", "/", {"SDL_AUDIODRIVER=dummy"}, 90, [&] {
        for (int i = 0; i < 600 && !varied; ++i) {
            usleep(100 * 1000);
            varied = screen_varied();
        }
        shell("xdotool key Escape");
    });
    EXPECT_EQ(run.status, 0) << run.err; // -1 unless it ended by itself
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(varied) << "the screen stayed one uniform colour for 60 s";
    std::filesystem::remove_all(prefix);
}
