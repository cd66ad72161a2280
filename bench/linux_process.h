// A process of this Wine as Linux sees it, for the benchmarks: /proc is read
// through the Z: drive (by the Wine server, so /proc/self is the server's).
#pragma once

#include <functional>
#include <string>

namespace murkel {

// "Z:\proc\<pid>" of the first process whose command line, as Linux shows
// it, `matches`; "" when none does or /proc cannot be read.
std::string linux_process_folder(const std::function<bool(const std::string& command_line)>& matches);

// The folder of the process running this program.
std::string this_linux_process();

// Minor page faults so far (field 10 of stat); -1 when unknown.
long long minor_page_faults(const std::string& folder);

// A memory figure of status in MB ("VmRSS", "VmHWM"); -1 when unknown.
double status_megabytes(const std::string& folder, const std::string& field);

// Starts the peak resident memory (VmHWM) anew from the present one.
bool reset_peak_memory(const std::string& folder);

}  // namespace murkel
