// Starts the demo as a child process in a chosen working directory, takes a
// screenshot of the X display while it runs, presses Escape, and collects
// its exit status and stderr.
#pragma once

#include <string>

struct ChildRun {
    int status = -1;         // exit status, -1 when it did not exit in time
    bool signalled = false;
    std::string stderr_text;
    bool screenshot_varied = false;  // the screen was not one uniform colour
};

// Runs `program` in `cwd`; after `escape_after_ms` sends Escape (xdotool),
// taking the screenshot just before. Gives up after `limit_ms`.
ChildRun RunDemoChild(const std::string& program, const std::string& cwd, int escape_after_ms,
                      int limit_ms);

std::string MakeTempDir();
int RunCommand(const std::string& command);  // shell command, returns exit status
bool FileExists(const std::string& path);
