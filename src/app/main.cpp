#include <cstdio>

int main() {
  std::puts("ruvo_drv: not built yet");
  return 0;
}
