#include "dispose/UnattendedDisposal.h"

#include "dispose/CDisposer.h"
#include "dispose/DisposalMethod.h"

#include <charconv>

int ParseMethodCode(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int code = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), code);
    (void)end;
    return ec == std::errc() ? code : 0;
}

std::uint64_t RunUnattendedDisposal(const std::vector<std::string>& paths,
                                    const std::string& methodText,
                                    const std::string& destination,
                                    const UnattendedDisposalIo& io) {
    const int method = ParseMethodCode(methodText);
    const std::string verb = MethodVerb(method);
    auto closing = [&](std::uint64_t bytes) {
        io.log(GroupThousands(bytes) + " bytes were " + verb + " by Fernwick");
        return bytes;
    };
    // Without a destination a move or an archive has nowhere to go: touch nothing.
    if (MethodNeedsDestination(method) && destination.empty()) {
        io.log("No destination was given for the files to be " + verb +
               "; no file was touched.");
        return closing(0);
    }

    CDisposer disposer(method, destination, io.log);
    const int n = static_cast<int>(paths.size());
    for (int i = 0; i < n; ++i) {
        if (io.pump)
            io.pump();
        disposer.Handle(paths[static_cast<size_t>(i)]);
        if (io.progress)
            io.progress(std::to_string(i + 1) + " of " + std::to_string(n) + " files being " +
                        verb);
    }
    disposer.Finish();
    return closing(disposer.m_cleanedBytes);
}
