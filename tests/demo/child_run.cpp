#include "tests/demo/child_run.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

void Copy(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    chmod(to.c_str(), 0755);
}

} // namespace

Scratch::Scratch(const std::vector<std::string>& leave_out) {
    dir_ = MakeTempDir();
    Copy(NINEFOLD_BIN, dir_ + "/ninefold");
    mkdir((dir_ + "/data").c_str(), 0755);
    DIR* d = opendir(NINEFOLD_DATA);
    while (dirent* e = d ? readdir(d) : nullptr) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool skip = false;
        for (const std::string& l : leave_out)
            skip |= l == name;
        // Hard links (or copies): the program refuses symbolic links leading out of data/.
        std::string from = std::string(NINEFOLD_DATA) + "/" + name, to = dir_ + "/data/" + name;
        if (!skip && link(from.c_str(), to.c_str()) != 0) Copy(from, to);
    }
    if (d) closedir(d);
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

ChildResult Scratch::Run(const std::vector<std::string>& env, double limit_s) {
    // The working directory is the scratch one: the program reads data/.
    return RunChild(dir_ + "/ninefold", dir_, env, limit_s);
}
