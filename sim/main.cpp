#include <cstdio>
int main() { std::puts("xruvo_sim: not built yet"); return 0; }
