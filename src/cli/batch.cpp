// Batches: every input checked for its output name, then worked on by
// --jobs threads that take the next file in turn.
#include "cli/batch.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "cli/picture_io.h"
#include "core/codecs/bmp_file_io.h"

namespace murkel::cli {
namespace {

namespace fs = std::filesystem;

std::string in_quotes(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::string batch_output_name(const Options& options, const std::string& input) {
  fs::path name = path_from_utf8(input).filename();
  if (options.format) name.replace_extension(extension_of(*options.format));
  return utf8_of(path_from_utf8(options.out_dir) / name);
}

int run_batch(const Options& options, const FileJob& job) {
  std::error_code ec;
  const fs::path folder = path_from_utf8(options.out_dir);
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    std::fprintf(stderr, "murkel-cli: cannot make the folder %s: %s\n", in_quotes(options.out_dir).c_str(),
                 ec ? ec.message().c_str() : "a file of that name is in the way");
    return 2;
  }
  const std::size_t count = options.inputs.size();
  const bool terminal = isatty(fileno(stderr)) != 0;
  std::mutex lock;  // around standard error and the counts
  std::size_t done = 0;
  bool any_failed = false;
  const auto report = [&](const std::string& line) {
    const std::lock_guard<std::mutex> hold(lock);
    if (!line.empty()) {
      std::fprintf(stderr, "%smurkel-cli: %s\n", terminal ? "\r\x1b[K" : "", line.c_str());
      any_failed = true;
    }
  };
  const auto progress = [&](const std::vector<std::string>& notes) {
    const std::lock_guard<std::mutex> hold(lock);
    for (const std::string& note : notes)
      std::fprintf(stderr, "%smurkel-cli: %s\n", terminal ? "\r\x1b[K" : "", note.c_str());
    ++done;
    if (terminal) std::fprintf(stderr, "\r%zu/%zu", done, count);
  };

  // Outputs are decided before anything is written: two inputs of one name
  // would write over each other, and an output in the input's place would
  // destroy the input.
  std::vector<std::string> outputs(count), refusals(count);
  std::map<std::string, std::string> taken;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& input = options.inputs[i];
    outputs[i] = batch_output_name(options, input);
    const fs::path output = path_from_utf8(outputs[i]);
    const fs::path key = fs::weakly_canonical(output, ec);
    if (fs::exists(output, ec) && fs::equivalent(path_from_utf8(input), output, ec))
      refusals[i] = "cannot write " + in_quotes(outputs[i]) + ": it is the input " + in_quotes(input) + " itself";
    else if (const auto [at, fresh] = taken.emplace(utf8_of(key), input); !fresh)
      refusals[i] = "cannot write " + in_quotes(outputs[i]) + " for " + in_quotes(input) + ": it is the output of " +
                    in_quotes(at->second);
  }

  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) {
      std::vector<std::string> notes;
      std::string error = refusals[i];
      if (error.empty()) {
        try {
          error = job(options.inputs[i], outputs[i], notes);
        } catch (const std::bad_alloc&) {
          error = "cannot work on " + in_quotes(options.inputs[i]) + ": not enough memory";
        } catch (const std::exception& e) {
          error = "cannot work on " + in_quotes(options.inputs[i]) + ": " + e.what();
        }
      }
      report(error);
      progress(notes);
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads = std::min<std::size_t>(options.jobs != 0 ? options.jobs : cores, count);
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  if (terminal) std::fputs("\r\x1b[K", stderr);
  return any_failed ? 1 : 0;
}

}  // namespace murkel::cli
