// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Times the interactive scan (results list filled as the wizard fills it, window events
// processed during the scan) against the headless scan of the same tree, which finds 100,000
// files, and prints both with their ratio.
//   QT_QPA_PLATFORM=offscreen build/bench/fernwick_scan_interactive [TREE]
#include "controls/CResultsListSink.h"
#include "controls/ListViewHelpers.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100; // all taken
constexpr int kOtherFiles = 100;     // per folder, not taken

void MakeTree(const fs::path& tree) {
    if (fs::exists(tree / ".complete"))
        return;
    std::printf("building %d files under %s ...\n", kFolders * (kFilesPerFolder + kOtherFiles),
                tree.c_str());
    for (int d = 0; d < kFolders; ++d) {
        const fs::path dir = tree / ("folder" + std::to_string(d / 50)) / ("sub" + std::to_string(d));
        fs::create_directories(dir);
        for (int f = 0; f < kFilesPerFolder; ++f)
            std::ofstream(dir / ("report " + std::to_string(f) + ".tmp")) << "x";
        for (int f = 0; f < kOtherFiles; ++f)
            std::ofstream(dir / ("keep" + std::to_string(f) + ".txt")) << "y";
    }
    std::ofstream(tree / ".complete") << "";
}

template <class F> double Seconds(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const fs::path tree = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/fwbench-interactive");
    MakeTree(tree);
    CProfile profile;
    profile.m_lstPatterns = {"*.tmp"};
    CStopEvent stop;

    std::vector<double> headless, interactive;
    size_t found = 0, rows = 0;
    for (int round = 0; round < 3; ++round) {
        headless.push_back(Seconds([&] {
            CFoundFileList sink;
            SearchFolder(tree.string(), profile, stop, sink);
            found = sink.Paths().size();
        }));
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* status = new QLabel;
        auto* list = new QTreeWidget;
        layout->addWidget(status);
        layout->addWidget(list);
        SetupReportList(list, false);
        AddColumn(list, 0, QStringLiteral("Size"));
        AddColumn(list, 1, QStringLiteral("Filename"));
        AddColumn(list, 2, QStringLiteral("File Date/Time"));
        window.resize(700, 400);
        window.show();
        QApplication::processEvents();
        interactive.push_back(Seconds([&] {
            {
                CResultsListSink sink(list, status);
                SearchFolder(tree.string(), profile, stop, sink);
            }
            QApplication::processEvents();
        }));
        rows = static_cast<size_t>(list->topLevelItemCount());
    }
    const double h = Median(headless), i = Median(interactive);
    std::printf("files found: headless %zu, interactive %zu rows\n", found, rows);
    std::printf("headless scan     %.3f s (median of 3)\n", h);
    std::printf("interactive scan  %.3f s (median of 3)\n", i);
    std::printf("ratio             %.2f\n", i / h);
    return found == rows ? 0 : 1;
}
