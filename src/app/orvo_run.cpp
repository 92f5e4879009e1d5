// orvo-run: the headless runner (grows with the machine).
#include <cstdio>

int main() {
  std::puts("orvo-run");
  return 0;
}
