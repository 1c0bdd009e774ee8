// lumacast start-up.
#include <cstdio>

int main() {
    std::printf("lumacast %s\n", "0.1");
    return 0;
}
