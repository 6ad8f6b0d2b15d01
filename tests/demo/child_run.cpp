#include "tests/demo/child_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

void Copy(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    chmod(to.c_str(), 0755);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

Scratch::Scratch(const std::vector<std::string>& leave_out) {
    char tmpl[] = "/tmp/ninefold-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    Copy(NINEFOLD_BIN, dir_ + "/ninefold");
    mkdir((dir_ + "/data").c_str(), 0755);
    DIR* d = opendir(NINEFOLD_DATA);
    while (dirent* e = d ? readdir(d) : nullptr) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool skip = false;
        for (const std::string& l : leave_out)
            skip |= l == name;
        if (!skip)
            symlink((std::string(NINEFOLD_DATA) + "/" + name).c_str(),
                    (dir_ + "/data/" + name).c_str());
    }
    if (d) closedir(d);
}

void Scratch::WriteData(const std::string& name, const std::string& contents) {
    const std::string path = dir_ + "/data/" + name;
    unlink(path.c_str());
    std::ofstream(path, std::ios::binary) << contents;
}

Scratch::~Scratch() {
    std::system(("rm -rf '" + dir_ + "'").c_str());
}

ChildResult Scratch::Run(const std::vector<std::string>& env, double limit_s,
                         const std::string& after_window) {
    std::vector<std::string> vars;
    // The settings given replace inherited ones of the same name.
    auto name_of = [](const std::string& v) { return v.substr(0, v.find('=') + 1); };
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& v : env)
            replaced |= name_of(v) == name_of(*e);
        if (!replaced) vars.push_back(*e);
    }
    for (const std::string& v : env)
        vars.push_back(v);
    std::vector<char*> envp;
    for (std::string& v : vars)
        envp.push_back(&v[0]);
    envp.push_back(nullptr);

    const std::string err_path = dir_ + "/stderr.txt";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string bin = dir_ + "/ninefold";
    char* argv[] = {const_cast<char*>(bin.c_str()), nullptr};
    // The working directory is the scratch one: the program reads data/.
    char old_cwd[4096];
    if (!getcwd(old_cwd, sizeof old_cwd)) old_cwd[0] = 0;
    if (chdir(dir_.c_str()) != 0) return {};
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    int rc = posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv, envp.data());
    if (old_cwd[0] && chdir(old_cwd) != 0) return {};
    posix_spawn_file_actions_destroy(&fa);
    ChildResult r;
    if (rc != 0) return r;

    if (!after_window.empty()) {
        // Blocks until the child has mapped its window (or has gone).
        std::string cmd = "timeout 20 xdotool search --sync --pid " + std::to_string(pid) +
                          " >/dev/null 2>&1; " + after_window;
        std::system(cmd.c_str());
    }
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (elapsed() > limit_s) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            r.err = ReadFile(err_path);
            return r;
        }
        usleep(20000); // polling the child, not pacing the test
    }
    r.seconds = elapsed();
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -1;
    r.err = ReadFile(err_path);
    return r;
}
