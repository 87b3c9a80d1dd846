#include <cstdio>

// Placeholder entry until the front end lands.
int main() {
    std::printf("tessgen: the precompiler front end is not built yet\n");
    return 1;
}
