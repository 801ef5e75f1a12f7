// The km8-sim command line: parsed into a simulator configuration plus what the
// program itself does (which line to serve, whether to print a status line).
#pragma once

#include <string>
#include <vector>

#include "simulator.h"

namespace km8::sim {

struct CliOptions {
  SimConfig config;
  std::string device;    // empty: serve a new pseudo-terminal
  std::string linkPath;  // a symlink to the pseudo-terminal, for a stable path
  bool status = false;
  bool help = false;
  bool version = false;
};

// False with a message for anything it cannot take.
bool parseCommandLine(const std::vector<std::string>& args, CliOptions& out, std::string& error);
std::string usageText();

// One line of the running simulator's state, for --status.
std::string statusLine(const SimStatus& status);

}  // namespace km8::sim
