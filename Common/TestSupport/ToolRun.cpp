#include "ToolRun.h"

#include <sys/wait.h>

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

}  // namespace orv::test
