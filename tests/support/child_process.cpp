#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string MakeTempDir() {
    char tmpl[] = "/tmp/ninefold-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    return dir ? dir : "";
}

ChildResult RunChild(const std::string& program, const std::string& cwd,
                     const std::vector<std::string>& env, double limit_s,
                     const std::function<void()>& during, const std::vector<std::string>& args) {
    std::vector<std::string> vars = env;
    auto name_of = [](const std::string& v) { return v.substr(0, v.find('=') + 1); };
    for (char** e = environ; *e; ++e)
        if (std::none_of(env.begin(), env.end(),
                         [&](auto& v) { return name_of(v) == name_of(*e); }))
            vars.push_back(*e);
    std::vector<char*> envp;
    for (std::string& v : vars)
        envp.push_back(&v[0]);
    envp.push_back(nullptr);

    const std::string err_dir = MakeTempDir();
    const std::string err_path = err_dir + "/stderr.txt";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str()); // program paths are absolute
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ChildResult r;
    if (rc != 0) return r;

    if (during) {
        // Blocks until the child has mapped its window (or has gone).
        std::string wait =
            "timeout 20 xdotool search --sync --pid " + std::to_string(pid) + " >/dev/null 2>&1";
        (void)std::system(wait.c_str());
        during();
    }
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 && elapsed() <= limit_s)
        usleep(20000); // polling the child, not pacing the test
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else {
        r.seconds = elapsed();
        r.exited = WIFEXITED(status);
        r.status = r.exited ? WEXITSTATUS(status) : -1;
    }
    r.err = ReadWholeFile(err_path);
    std::filesystem::remove_all(err_dir);
    return r;
}
