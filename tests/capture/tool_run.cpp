#include "tests/capture/tool_run.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

ToolRun::~ToolRun() {
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RunCaptureTool(const std::vector<std::string>& args, ToolRun* run) {
    char pattern[] = "/tmp/capture_test_XXXXXX";
    run->dir = mkdtemp(pattern) ? pattern : "";
    if (run->dir.empty()) return;
    const std::string log = run->dir + "/stderr.txt";
    run->out = run->dir + "/out";
    std::vector<std::string> all = {CAPTURE_TOOL, "--data", CAPTURE_DATA_PARENT, "-o", run->out};
    for (std::string a : args)
        all.push_back(a.rfind("@OUT@", 0) == 0 ? run->out + a.substr(5) : a);
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run->status = WEXITSTATUS(status);
    run->log = ReadFileBytes(log);
}
