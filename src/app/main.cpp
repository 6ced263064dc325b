// main.cpp - the entry: reads the options, opens the platform and runs the show.
#include <cstdio>

int main() {
    std::fprintf(stderr, "baubles: being assembled\n");
    return 1;
}
