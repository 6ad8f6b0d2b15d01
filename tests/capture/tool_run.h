// Runs the built capture tool in a fresh temporary directory and reads back
// what it wrote.
#pragma once

#include "tests/support/child_process.h"

#include <string>
#include <vector>

struct ToolRun {
    std::string dir;    // temporary directory, removed with the object
    std::string out;    // the tool's output directory inside it
    std::string log;    // what the tool printed on stderr
    int status = -1;    // exit status, -1 when it did not exit by itself in time
    double seconds = 0; // from start to exit
    ToolRun() = default;
    ToolRun(const ToolRun&) = delete;
    ~ToolRun();
};

// Runs ninefold_capture with the build's data and "-o <fresh dir>" added;
// an argument starting with "@OUT@" starts with that directory instead. It
// runs as "$@" of `sh -c shell` in run->dir (outputs in out/) for limit_s.
void RunCaptureTool(const std::vector<std::string>& args, ToolRun* run,
                    const std::string& shell = "exec \"$@\"", double limit_s = 1100);
