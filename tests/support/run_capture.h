#pragma once
// Runs a shell command (a program the build made) and gives back what it wrote.
#include <cstdio>
#include <string>

namespace orvo::test {

// Runs `command` and returns its standard output; `status` gets the exit status.
inline std::string CaptureCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  *status = pclose(pipe);
  return out;
}

}  // namespace orvo::test
