// Where the demo's data is: the process entry (entry.cpp) calls
// FindDataDirectory before it runs the program's main, DemoMain, once on the
// main thread; when DemoMain returns the process exits 0. The data is looked
// for, in order, as data/scene1.obj in the working directory, data/ beside
// the executable, and the installed data directory; the working directory is
// changed to the first that has it, so the program itself always reads the
// relative path data/.
#pragma once

// Chooses the working directory as above; returns false when none has the data.
bool FindDataDirectory();
// True after FindDataDirectory found no data (false before it ran).
bool DataDirectoryMissing();
// The directories looked in, for the message when the data is missing.
const char* DataDirectoriesTried();
