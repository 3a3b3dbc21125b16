// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Times the interactive scan (results list filled as the wizard fills it, window events
// processed during the scan) against the headless scan of the same tree, which finds 100,000
// files, and prints both with their ratio.
//   QT_QPA_PLATFORM=offscreen build/bench/fernwick_scan_interactive [TREE]
// With --once TREE (bench/found_files.py): one round of each on a tree of *.tmp files, and
// key=value lines: rows, headless_s, scan_s, select_s (the selection page's list made from the
// scan page's, every row then selected) and longest_wait_ms, the longest the event loop waited
// (a 10 ms timer's greatest lateness) during both.
#include "controls/CResultsListSink.h"
#include "controls/CFoundFilesView.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
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

// The greatest lateness of a timer that should fire every 10 ms, while it runs.
class CLatenessProbe {
public:
    CLatenessProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            m_longest = std::max(m_longest, now - m_last - std::chrono::milliseconds(10));
            m_last = now;
        });
        m_last = std::chrono::steady_clock::now();
        m_timer.start();
    }
    double LongestMs() const { return std::chrono::duration<double, std::milli>(m_longest).count(); }
    // Starts counting afresh.
    void Restart() {
        m_longest = {};
        m_last = std::chrono::steady_clock::now();
    }

private:
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_last;
    std::chrono::steady_clock::duration m_longest{};
};

// The scan alone, into the unattended run's list: the files it found.
std::size_t ScanHeadless(const fs::path& tree, const CProfile& profile, const CStopEvent& stop) {
    CFoundFileList sink;
    SearchFolder(tree.string(), profile, stop, sink);
    return sink.Count();
}

// The scan page's list, and the selection page's, in a shown window as the wizard has them.
struct ListsWindow {
    QWidget window;
    QLabel* status = new QLabel;
    CFoundFilesView* list = new CFoundFilesView;
    CFoundFilesView* selection = new CFoundFilesView;
    CFoundStore store;

    ListsWindow() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(status);
        layout->addWidget(list);
        layout->addWidget(selection);
        list->Setup(false);
        selection->Setup(true);
        list->Model().SetStore(&store);
        window.resize(700, 600);
        window.show();
        QApplication::processEvents();
    }

    // The interactive scan of tree into the scan page's list, with its batches and pumping.
    void Scan(const fs::path& tree, const CProfile& profile, const CStopEvent& stop) {
        {
            CResultsListSink sink(list, &store, status);
            SearchFolder(tree.string(), profile, stop, sink);
        }
        QApplication::processEvents();
    }
};

int RunOnce(const fs::path& tree) {
    CProfile profile;
    profile.m_lstPatterns = {"*.tmp"};
    CStopEvent stop;
    std::size_t found = 0;
    const double headless = Seconds([&] { found = ScanHeadless(tree, profile, stop); });
    ListsWindow w;
    CFoundFilesView* list = w.list;
    CFoundFilesView* selection = w.selection;
    CLatenessProbe probe;
    const double scan = Seconds([&] { w.Scan(tree, profile, stop); });
    const double scanWait = probe.LongestMs();
    probe.Restart();
    const double select = Seconds([&] {
        selection->Model().ShowRowsOf(list->Model());
        for (int c = 0; c < 3; ++c)
            selection->setColumnWidth(c, list->columnWidth(c));
        selection->selectAll();
        QApplication::processEvents();
    });
    std::printf("rows=%d\nselection_rows=%d\nselected=%zu\nfound=%zu\nheadless_s=%.3f\n"
                "scan_s=%.3f\nselect_s=%.3f\nscan_wait_ms=%.0f\nselect_wait_ms=%.0f\n"
                "longest_wait_ms=%.0f\n",
                list->RowCount(), selection->RowCount(), selection->SelectedRows().size(),
                found, headless, scan, select, scanWait, probe.LongestMs(),
                std::max(scanWait, probe.LongestMs()));
    return 0;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 2 && std::string_view(argv[1]) == "--once")
        return RunOnce(argv[2]);
    const fs::path tree = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/fwbench-interactive");
    MakeTree(tree);
    CProfile profile;
    profile.m_lstPatterns = {"*.tmp"};
    CStopEvent stop;

    std::vector<double> headless, interactive;
    size_t found = 0, rows = 0;
    for (int round = 0; round < 3; ++round) {
        headless.push_back(Seconds([&] { found = ScanHeadless(tree, profile, stop); }));
        ListsWindow w;
        interactive.push_back(Seconds([&] { w.Scan(tree, profile, stop); }));
        rows = static_cast<size_t>(w.list->RowCount());
    }
    const double h = Median(headless), i = Median(interactive);
    std::printf("files found: headless %zu, interactive %zu rows\n", found, rows);
    std::printf("headless scan     %.3f s (median of 3)\n", h);
    std::printf("interactive scan  %.3f s (median of 3)\n", i);
    std::printf("ratio             %.2f\n", i / h);
    return found == rows ? 0 : 1;
}
