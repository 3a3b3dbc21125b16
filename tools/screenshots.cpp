// Opens the program's windows one by one and saves a picture of each, for the documentation:
//   xvfb-run -a -s '-screen 0 1024x768x24' build/tools/fernwick_screenshots docs/screenshots
#include "controls/CAboutDlg.h"
#include "framework/UiSeam.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <cstdio>
#include <functional>

namespace {

// Saves each modal window once it is up, then lets the given action close it.
class CShotSeam : public CUiSeam {
public:
    QString dir;
    QString name;
    std::function<void()> close;
    bool ok = true;
    void ModalStarted(QWidget* window) override {
        // Give the window a moment to paint before it is taken.
        QTimer::singleShot(300, window, [this, window] {
            const QString path = dir + QStringLiteral("/") + name + QStringLiteral(".png");
            if (!window->grab().save(path))
                ok = false;
            std::printf("%s\n", qPrintable(path));
            close();
        });
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fernwick_screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    CShotSeam seam;
    seam.dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(seam.dir);
    SetUiSeam(&seam);

    CAboutDlg about;
    seam.name = QStringLiteral("about");
    seam.close = [&] { about.EndDialog(1); };
    about.DoModal();

    SetUiSeam(nullptr);
    return seam.ok ? 0 : 1;
}
