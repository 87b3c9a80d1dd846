#include <cstdio>

// The durability service; it joins domains once the engine can create participants.
int main(int, char**) {
    std::printf("vexads: the durability service is not built yet\n");
    return 0;
}
