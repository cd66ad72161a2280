// murkel-cli's batches: many inputs into one folder, several at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace murkel::cli {

// Works one input into one output; returns an empty string or the reason,
// and adds notes for the user.
using FileJob = std::function<std::string(const std::string& input, const std::string& output,
                                          std::vector<std::string>& notes)>;

// The output of an input in the folder: its own name, with the extension of
// --format when given.
[[nodiscard]] std::string batch_output_name(const Options& options, const std::string& input);

// Runs the job on every input of options, --jobs at once; a failed file gets
// one line on standard error and the others go on. Progress goes to standard
// error when it is a terminal. Returns 0, or 1 when any file failed, or 2
// when the folder cannot be made.
[[nodiscard]] int run_batch(const Options& options, const FileJob& job);

}  // namespace murkel::cli
