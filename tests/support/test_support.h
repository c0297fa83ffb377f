// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mendwell::test {

// A fresh temporary folder, deleted with everything in it at the end of
// the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Path of a fixture image made by tests/fixtures/make_all.sh.
std::string FixturePath(const std::string& name);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

// Runs a shell command; returns its exit status and, when out is given, its
// standard output.
int RunCommand(const std::string& command, std::string* out = nullptr);

// The sha256 of a file as sha256sum prints it; "" when it cannot be read.
std::string Sha256OfFile(const std::string& path);

// The mendwell-cli executable of this build.
std::string CliPath();

}  // namespace mendwell::test
