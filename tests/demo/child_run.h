// Runs the real ninefold binary as a child process in a scratch working
// directory holding a copy of the binary and links to the generated data,
// less any files a test leaves out (the copy keeps the program from finding
// the build's own data beside its executable).
#pragma once

#include "tests/support/child_process.h"

#include <string>
#include <vector>

class Scratch {
  public:
    explicit Scratch(const std::vector<std::string>& leave_out = {});
    ~Scratch();
    const std::string& dir() const { return dir_; }
    // Starts the binary with extra NAME=VALUE settings.
    ChildResult Run(const std::vector<std::string>& env, double limit_s);

  private:
    std::string dir_;
};
