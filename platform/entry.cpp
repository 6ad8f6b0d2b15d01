#include "platform/entry.h"

#include <csignal>
#include <cstdlib>

int main(int, char**) {
    std::signal(SIGPIPE, SIG_IGN);
    DemoMain();
    return 0;
}
