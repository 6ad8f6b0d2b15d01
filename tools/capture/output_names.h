// The capture's file names and the output directory's lock. Each output is
// made under a name of this run's own (ninefold.mp4 as
// ninefold.unfinished.<pid>.mp4) and renamed to its final name only when the
// whole capture is complete and verified; PNG frames are renamed one by one.
// What can be checked about the names is checked before the first frame: a
// folder in the way, a --y4m file named like another output. One capture at
// a time writes into a directory: the lock is a flock held for the whole
// run, its file naming the holder's pid.
#pragma once

#include "tools/capture/options.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

// "dir/name.ext" as "dir/name.unfinished.<pid>.ext".
std::string UnfinishedName(const std::string& path);
// The temporary name of the PNG frame being written.
std::string FramePngTemp(const std::string& dir);

// False with a one-line reason when a final name is a folder or the y4m
// stream is named like another output.
bool CheckOutputNames(const CaptureOptions& options, std::string* error);

struct DirLock {
    std::atomic<int> fd{-1}; // -1: not held
    std::string path;
};
// Takes the directory's lock at once or returns false with a line naming
// the run that holds it.
bool LockOutputDir(DirLock& lock, const std::string& dir, std::string* error);
// Async-signal-safe: the watchdog releases it too.
void UnlockOutputDir(DirLock& lock);

// Pairs of (unfinished, final) names.
using MadeFiles = std::vector<std::pair<std::string, std::string>>;
// Renames them all or, when one fails, none: those renamed already go back
// and every unfinished one is removed. False with a reason.
bool RenameAll(const MadeFiles& made, std::string* error);
