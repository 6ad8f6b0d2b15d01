#include "platform/datadir.h"

#include <csignal>

// The program's main, defined by the program that links the entry; its
// result is the exit status.
int DemoMain();

int main(int, char**) {
    std::signal(SIGPIPE, SIG_IGN);
    FindDataDirectory();
    return DemoMain();
}
