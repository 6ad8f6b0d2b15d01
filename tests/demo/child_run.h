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
    // Puts a file of the given contents in place of a data file.
    void WriteData(const std::string& name, const std::string& contents);
    // Starts the binary with extra NAME=VALUE settings; when after_window is
    // given, that shell command runs once the child's window exists.
    ChildResult Run(const std::vector<std::string>& env, double limit_s,
                    const std::string& after_window = "");

  private:
    std::string dir_;
};
