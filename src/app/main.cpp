#include <cstdio>

int main() {
    std::puts("Clipwren+: the tray program is not built yet.");
    return 0;
}
