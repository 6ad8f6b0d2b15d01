#include "platform/datadir.h"

#include <csignal>

void DemoMain(); // the program's main, defined by the program that links the entry

int main(int, char**) {
    std::signal(SIGPIPE, SIG_IGN);
    FindDataDirectory();
    DemoMain();
    return 0;
}
