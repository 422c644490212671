// What a tool writes against what it reads.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orv::tools {

// A file the tool reads, named as its option names it ("--claimant-db").
struct NamedFile {
  std::string option;
  std::string path;
};

// The message refusing an output file that is one of the tool's inputs by
// any name (a link, another path to it): writing the output replaces the
// file, so a mistyped --results or --output would wipe a database out. None
// when `output` is another file (or standard output, or a server URI).
std::optional<std::string> OutputOverInput(const NamedFile& output,
                                           const std::vector<NamedFile>& inputs);

}  // namespace orv::tools
