// The ceiling of "quentaril export" with nothing new, as a process of its own the way a timer
// starts the command: a program that links libetpan alone, signs in, asks for the Inbox's UIDs
// and exits. Prints the number of UIDs found.
// Usage: uid_search_ceiling HOST PORT USER PASSWORD

#include "UidSearch.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD\n", argv[0]);
        return 2;
    }
    const int found = uidSearchAll(argv[1], std::atoi(argv[2]), argv[3], argv[4]);
    std::printf("%d\n", found);
    return found < 0 ? 1 : 0;
}
