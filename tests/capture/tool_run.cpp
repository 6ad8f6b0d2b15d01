#include "tests/capture/tool_run.h"

void RunCaptureTool(const std::vector<std::string>& args, ToolRun* run, const std::string& shell,
                    double limit_s) {
    std::vector<std::string> argv = {
        "-c", shell, "sh", CAPTURE_TOOL, "--data", CAPTURE_DATA_PARENT, "-o", run->out};
    for (const std::string& a : args)
        argv.push_back(a.rfind("@OUT@", 0) == 0 ? run->out + a.substr(5) : a);
    const ChildResult r = RunChild("/bin/sh", run->dir, {}, limit_s, {}, argv);
    run->status = r.exited ? r.status : -1;
    run->log = r.err;
    run->seconds = r.seconds;
}
