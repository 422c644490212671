#include "ToolRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orv::test {

ToolRun RunTool(const std::string& tool, const std::string& args, const std::string& scratch_dir,
                const std::string& prefix) {
  const char* bin = std::getenv("TARNBY_BIN_DIR");
  const std::string exe = std::string(bin ? bin : ".") + "/" + tool;
  const std::string out = scratch_dir + "/stdout", err = scratch_dir + "/stderr";
  const std::string cmd = prefix + "'" + exe + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int RunInChild(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    try {
      body();
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace orv::test
