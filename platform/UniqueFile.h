#pragma once

#include <cstdio>
#include <memory>

// Owns a stdio stream; fclose runs when it goes out of scope.
struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f)
            std::fclose(f);
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
