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

TempDir::~TempDir() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

int SpawnChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& cwd, const std::string& err_path) {
    std::vector<std::string> vars = env;
    auto name_of = [](const std::string& v) { return v.substr(0, v.find('=') + 1); };
    for (char** e = environ; *e; ++e)
        if (std::none_of(env.begin(), env.end(),
                         [&](auto& v) { return name_of(v) == name_of(*e); }))
            vars.push_back(*e);
    std::vector<char*> envp, args;
    for (std::string& v : vars)
        envp.push_back(&v[0]);
    envp.push_back(nullptr);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!err_path.empty())
        posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

int WaitChild(int pid, double limit_s) {
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            limit_s)
            return -1;
        usleep(20000); // polling the child, not pacing the test
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

ChildResult RunChild(const std::string& program, const std::string& cwd,
                     const std::vector<std::string>& env, double limit_s,
                     const std::function<void()>& during, const std::vector<std::string>& args) {
    const TempDir err_dir;
    const std::string err_path = err_dir.Path("stderr.txt");
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto start = std::chrono::steady_clock::now();
    const int pid = SpawnChild(argv, env, cwd, err_path);
    ChildResult r;
    if (pid < 0) return r;
    if (during) {
        // Blocks until the child has mapped its window (or has gone).
        Shell("timeout 20 xdotool search --sync --pid " + std::to_string(pid) + " >/dev/null 2>&1");
        during();
    }
    const double left =
        limit_s - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int status = WaitChild(pid, left);
    if (status < 0) {
        kill(pid, SIGKILL);
        WaitChild(pid, 1e9);
    } else {
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        r.exited = status < 256;
        r.status = r.exited ? status : -1;
    }
    r.err = ReadWholeFile(err_path);
    return r;
}
