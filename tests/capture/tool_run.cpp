#include "tests/capture/tool_run.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

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
    if (!mkdtemp(pattern)) return;
    run->dir = pattern;
    run->out = run->dir + "/out";
    // Every argument single-quoted: the paths and values here hold no quote.
    std::string command = std::string("'") + CAPTURE_TOOL + "' --data '" + CAPTURE_DATA_PARENT +
                          "' -o '" + run->out + "'";
    for (const std::string& a : args)
        command += " '" + (a.rfind("@OUT@", 0) == 0 ? run->out + a.substr(5) : a) + "'";
    const int status = std::system((command + " 2>" + run->dir + "/stderr.txt").c_str());
    if (status != -1 && WIFEXITED(status)) run->status = WEXITSTATUS(status);
    run->log = ReadFileBytes(run->dir + "/stderr.txt");
}
