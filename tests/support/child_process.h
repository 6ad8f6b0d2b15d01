// The one way the tests start programs: a child in a chosen working
// directory with stderr collected and a time limit (RunChild), or started and
// waited for by the caller (SpawnChild, WaitChild), and a shell command's output;
// and the one temporary folder helper.
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

// Starts argv[0], searched in PATH, with this process's environment plus `env`
// and stderr to err_path when given; -1 when it cannot start.
int SpawnChild(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               const std::string& cwd = "", const std::string& err_path = "");
// The child's exit status, 256 + signal when a signal ended it, or -1 while it
// still runs after limit_s (it is left running).
int WaitChild(int pid, double limit_s);
// What a shell command wrote on stdout.
std::string Shell(const std::string& command);

std::string ReadWholeFile(const std::string& path);
std::string MakeTempDir(); // under /tmp, fresh; the caller removes it

// The tests' temporary folder: fresh under /tmp, removed with the object,
// whatever the test's assertions did.
class TempDir {
  public:
    TempDir() : dir_(MakeTempDir()) {}
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};
