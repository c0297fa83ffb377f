// The main of every test program. ctest runs test processes side by side,
// and the scan-log store numbers its folders per process: each process gets
// a per-user data folder of its own, so no test empties another's scan log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"

int main(int argc, char** argv) {
  const char* base = std::getenv("XDG_DATA_HOME");
  std::string folder = std::string(base && *base ? base : "/tmp/mendwell-test-data") + "/p" + std::to_string(::getpid());
  ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  mendwell::RemoveTree(folder);
  return result;
}
