#include "app/CFernwickApp.h"
#include "app/CommandLine.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("Fernwick " FERNWICK_VERSION_TEXT);
            return 0;
        }
    }
    theApp.m_argv.assign(argv, argv + argc);
    theApp.InitInstance();
    return 0;
}
