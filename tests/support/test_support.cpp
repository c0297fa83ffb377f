#include "support/test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace mendwell::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "mendwell-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string FixturePath(const std::string& name) { return std::string(MENDWELL_FIXTURE_DIR) + "/" + name; }

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunCommand(const std::string& command, std::string* out) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
    if (out) out->append(buf, n);
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Sha256OfFile(const std::string& path) {
  std::string out;
  if (RunCommand("sha256sum '" + path + "' 2>/dev/null", &out) != 0 || out.size() < 64) return "";
  return out.substr(0, 64);
}

std::string CliPath() {
  const char* env = std::getenv("MENDWELL_CLI");
  return env ? env : std::string(MENDWELL_BINARY_DIR) + "/bin/mendwell-cli";
}

}  // namespace mendwell::test
