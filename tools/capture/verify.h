// The check a finished MP4 or master passes before it gets its name: ffprobe
// (which comes with ffmpeg) reads the whole file, counts its packets without
// decoding them and reports its streams and duration. A file whose index is
// missing or whose data ends early fails here, whatever ffmpeg's exit status
// said. Also how the tool finds and starts the programs it runs.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct ExpectedStreams {
    int64_t frames = 0; // video packets, one per picture
    double seconds = 0; // of pictures; the sound may end up to an audio frame later
    int fps = 60;
    bool sound = true;
};

// False with what ffprobe said or what differs; stop() true gives up.
bool VerifyEncodedFile(const std::string& path, const ExpectedStreams& expected, bool (*stop)(),
                       std::string* error);

// Starts args[0], found in PATH, with the given descriptors as its 0, 1 and
// 2 (-1: /dev/null) and no other of the tool's; own_group: in a process
// group of its own. 0 with *pid, or the errno.
int SpawnProgram(std::vector<std::string> args, const int fds[3], bool own_group, pid_t* pid);

// The first "name" in PATH, as a shell finds it: false with a reason when
// there is none, or the first one found cannot be executed.
bool FindProgram(const char* name, std::string* error);
