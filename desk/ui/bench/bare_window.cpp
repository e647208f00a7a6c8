// The yardstick of the desktop's cold start: a bare Qt main window started
// the way `namedesk --screenshot FILE` is (offscreen), painted into FILE.
#include <QApplication>
#include <QMainWindow>
#include <QPixmap>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--screenshot") != 0) {
        const bool help = argc == 2 && std::strcmp(argv[1], "--help") == 0;
        std::fputs("Usage: desk_bare_window --screenshot FILE\n"
                   "\n"
                   "Starts a bare Qt main window offscreen, paints it into the PNG FILE\n"
                   "and exits: the yardstick of namedesk's cold start (desk_fill_bench).\n",
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(960, 640);
    window.show();
    return window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
