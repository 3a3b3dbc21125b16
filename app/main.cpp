#include "app/CFernwickApp.h"
#include "app/CommandLine.h"
#include "app/Preview.h"
#include "framework/Pump.h"
#include "platform/XdgDirs.h"

#include <QtWidgets/QApplication>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// A run started by cron has no display: it then works without a window, and the log is its
// report.
void UseOffscreenWithoutDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!display || !*display) && (!wayland || !*wayland) && (!platform || !*platform))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace

int main(int argc, char** argv) {
    DropRelativeXdgDirs(); // before Qt or GLib read them, and before any thread
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
        if (arg == "--preview")
            return RunPreview(std::vector<std::string>(argv, argv + argc));
    }
    theApp.m_argv.assign(argv, argv + argc);
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernwick"));
    QApplication::setOrganizationName(QStringLiteral("Quenby Works"));
    ApplyDialogFont();
    theApp.InitInstance();
    return 0;
}
