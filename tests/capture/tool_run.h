// Runs the built capture tool in a fresh temporary directory and reads back
// what it wrote.
#pragma once

#include "tests/support/child_process.h"

#include <string>
#include <vector>

struct ToolRun {
    TempDir temp;                   // removed with the object
    std::string dir = temp.dir();   // where the tool runs
    std::string out = dir + "/out"; // its output directory
    std::string log;                // what the tool printed on stderr
    int status = -1;                // exit status, -1 when it did not exit by itself in time
    double seconds = 0;             // from start to exit
};

// Runs ninefold_capture with the build's data and "-o <out>" added; an
// argument starting with "@OUT@" starts with that directory instead. It runs
// as "$@" of `sh -c shell` in run->dir for limit_s.
void RunCaptureTool(const std::vector<std::string>& args, ToolRun* run,
                    const std::string& shell = "exec \"$@\"", double limit_s = 1100);
