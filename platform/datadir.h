// Where the demo's data is: the process entry (entry.cpp) calls
// FindDataDirectory before it runs the program's main, DemoMain, once on the
// main thread; the process exits with the status DemoMain returns. The data is looked
// for, in order, as data/scene1.obj in the working directory, data/ beside
// the executable, and the installed data directory; the working directory is
// changed to the first that has it, so the program itself always reads the
// relative path data/.
// Data files are opened only when they are regular files within a size
// limit, and names read from data files must stay inside the directory; a
// path under data/ is resolved beneath it, symbolic links included, so no
// file placed in data/ can block start-up or reach outside it. data/ itself
// may be a link, as packages install it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Chooses the working directory as above; returns false when none has the data.
bool FindDataDirectory();
// True after FindDataDirectory found no data (false before it ran).
bool DataDirectoryMissing();
// The directories looked in, each with why it has no data ("data/ is a
// symbolic link loop", "no data/" ...), for the message when it is missing.
const char* DataDirectoriesTried();
// The folder the data was found in when it is not the working directory the
// program started in (beside the executable, the installed share folder);
// "" otherwise. Messages name files with it.
const char* DataDirectoryUsed();
// The directory of the running executable; empty when it cannot be read.
std::string ExecutableDir();

// Opens a data file for reading when it is a regular file of at most max_bytes
// (a FIFO, directory or device is refused without blocking on it); its size
// goes to *bytes. Null otherwise, with the reason ("not a regular file",
// "outside the data directory", "cannot open (Permission denied)", ...). A path starting
// with data/ must resolve beneath data/; other paths are opened as given.
std::FILE* OpenDataFile(const char* path, int64_t max_bytes, int64_t* bytes, std::string* reason);
// True when a name read from a data file stays inside the data directory: not
// empty, not absolute and without ".." components.
bool NameInsideDataDirectory(const std::string& name);
