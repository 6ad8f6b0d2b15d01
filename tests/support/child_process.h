// Runs a program as a child process (with the given arguments) in a chosen working
// directory, with stderr collected and a time limit. Used by the tests that
// start the real ninefold binary.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
    bool exited = false; // ended by itself before the limit
    int status = -1;     // exit status when it did
    std::string err;     // what it wrote on stderr
    double seconds = 0;  // from start to exit
};

// `env` holds NAME=VALUE settings that replace inherited ones. When `during`
// is given it runs once the child's window exists (or the child has gone),
// while the child keeps running. A child still running after limit_s is killed.
ChildResult RunChild(const std::string& program, const std::string& cwd,
                     const std::vector<std::string>& env, double limit_s,
                     const std::function<void()>& during = {},
                     const std::vector<std::string>& args = {});

std::string ReadWholeFile(const std::string& path);
std::string MakeTempDir(); // under /tmp, fresh
