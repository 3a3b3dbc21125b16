#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct UnattendedDisposalIo {
    std::function<void(const std::string&)> log;
    // "%d of %d files being %s" after each file.
    std::function<void(const std::string&)> progress;
    // Lets the window breathe between files.
    std::function<void()> pump;
};

// Disposes of every found file with the method and destination of a scheduled command line
// ("/x" value, "/m" value) and logs it all; the log is the run's only report. Returns the
// bytes cleaned.
std::uint64_t RunUnattendedDisposal(const std::vector<std::string>& paths,
                                    const std::string& methodText,
                                    const std::string& destination,
                                    const UnattendedDisposalIo& io);

// The "/x" value as a method code: its leading decimal number, 0 for anything else.
int ParseMethodCode(const std::string& text);
