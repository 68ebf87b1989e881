// CalorixDiag's commands, run against the program's own device, block, task and settings code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/calorix_diag/diag_options.h"

namespace calorix::diag {

struct Streams {
  std::FILE* out;  // not owned
  std::FILE* err;  // not owned
};

// Parses `args` (without the program name) and runs the command; returns the exit status:
// 0 done, 1 the command could not do its work, 2 bad arguments (after a message on err).
int Main(const std::vector<std::string>& args, const Streams& io);
int Run(const Options& options, const Streams& io);

std::string Utf8(const std::wstring& text);

// Ends a running --watch or --sweep after its current step; safe from any thread.
void RequestStop();

}  // namespace calorix::diag
