// Opening a folder of 10,000 items in the Details mode, beside the raw
// transfer of the folder's record and a plain QTreeView filled with the
// same rows; then a sort by each column, and re-opening the unchanged
// folder. Runs its own namewrightd (offscreen, no display needed).
//   fill_bench [COUNT]
#include "contentsmodel.h"
#include "contentsview.h"
#include "deskdaemon.h"
#include "folderview.h"
#include "mainframe.h"

#include "folders/usrfoldernode.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <namedir/address.h>

namespace {

constexpr int kStarts = 5;

double ms(QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void settle(QWidget* w) {
    w->repaint();
    QApplication::processEvents();
}

} // namespace

constexpr char kUsage[] =
    "Usage: desk_fill_bench [COUNT]\n"
    "\n"
    "Opens a folder of COUNT items (1..100000, default 10000) in the desktop's\n"
    "Details mode beside a plain QTreeView and the folder's raw transfer, sorts\n"
    "by each column and re-opens it; runs its own namewrightd on loopback.\n";

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    qrdtest::prepareAndReexec(argc, argv);
    qrdtest::adoptWorkstation();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (count <= 0 || count > 100000) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    desktest::TestDirectory directory;
    std::string why;
    if (!directory.start(why) ||
        !desktest::TestDirectory::login("alice@Sales@Demo", "alice-demo")) {
        std::fprintf(stderr, "fill_bench: %s\n", why.c_str());
        return 1;
    }
    desk::ui::setMessageSink(desktest::recordMessage);
    auto desk = std::make_unique<desktest::Desk>();
    desk->prompter.dialogs.push_back(desktest::cardNamed(QStringLiteral("Alice Archer")));
    desk->session->start();
    if (!QTest::qWaitFor([&] { return desk->doc().isLoggedIn(); }, 10000)) {
        std::fprintf(stderr, "fill_bench: the desktop did not load\n");
        return 1;
    }
    desk->prompter.dialogs.clear();
    desk->prompter.dialogs.push_back(
        ScriptPrompter::set(QStringLiteral("name"), QStringLiteral("Big")));
    USRFolderNode* big = desk->doc().newFolder(false);
    if (!big) {
        std::fprintf(stderr, "fill_bench: cannot make the folder\n");
        return 1;
    }
    // The listing of COUNT web items, written at once.
    DIRFolder record;
    record.address = DIRAddressPtr(big->address()->clone());
    record.base.objectType = DIR_TYPE_FOLDER;
    long e = 0;
    if (!desk->dir.getNode(DIR_MASK_FULL, record, e))
        return std::fprintf(stderr, "read %ld\n", e), 1;
    for (int i = 0; i < count; ++i) {
        DIRRefInfo ref;
        ref.address = DIRAddressPtr(
            new DIRNmDirectoryAddress("alice@Sales@Demo", 52, 600000 + i, 1700000000 + i));
        ref.name = "I" + std::to_string((i * 7919) % count);
        ref.objectType = DIR_TYPE_WEB;
        ref.time = 1700000000 + i;
        ref.refText = "D" + std::to_string((i * 104729) % count);
        record.contents.push_back(std::move(ref));
    }
    std::unique_ptr<DIRCommonInfo> current;
    if (!desk->dir.updateNode(DIR_MASK_CONTENTS, record, current, e))
        return std::fprintf(stderr, "write %ld\n", e), 1;

    // Transfer: the folder's record read whole by a fresh store object.
    QElapsedTimer t;
    DIRDirectory fresh;
    DIRFolder again;
    again.address = DIRAddressPtr(big->address()->clone());
    again.base.objectType = DIR_TYPE_FOLDER;
    t.start();
    fresh.getNode(DIR_MASK_FULL, again, e);
    const double transfer = ms(t);

    // Plain: a QTreeView over a QStandardItemModel with the same texts.
    QTreeView plainView;
    plainView.resize(800, 600);
    plainView.show();
    t.restart();
    auto* plain = new QStandardItemModel(0, 3, &plainView);
    for (const DIRRefInfo& r : again.contents)
        plain->appendRow({new QStandardItem(QString::fromStdString(r.name)),
                          new QStandardItem(QStringLiteral("Web")),
                          new QStandardItem(QString::fromStdString(r.refText))});
    plainView.setModel(plain);
    settle(&plainView);
    const double plainFill = ms(t);

    // The desktop: open the folder in the Details mode (its date check and
    // read, the rows, the sort, the columns, the first paint).
    desk->session->frame().resize(800, 600);
    t.restart();
    desk->session->folderView().openChild(big);
    if (desk->doc().currentFolder() != big)
        desk->doc().setCurrentFolder(big, desk->doc().rootFolder());
    settle(&desk->session->frame());
    const double deskFill = ms(t);
    const int rows = desk->session->contentsView().model().rowCount();

    std::printf("items %d (shown %d)\n", count, rows);
    std::printf("transfer of the folder record   %8.1f ms\n", transfer);
    std::printf("plain QTreeView fill            %8.1f ms\n", plainFill);
    std::printf("desktop Details open            %8.1f ms  (%.2fx of plain + transfer)\n", deskFill,
                deskFill / (plainFill + transfer));
    for (int column = 0; column < 3; ++column) {
        t.restart();
        desk->session->contentsView().sortBy(column);
        settle(&desk->session->frame());
        std::printf("sort by column %d                %8.1f ms\n", column, ms(t));
    }
    t.restart();
    desk->doc().refreshCurrent();
    settle(&desk->session->frame());
    std::printf("re-open unchanged (refresh)     %8.1f ms\n", ms(t));
    desk.reset();

    // Cold start to the first painted frame: namedesk on this desktop
    // beside a bare Qt window, each started as a new process, offscreen.
    const QString dir = QCoreApplication::applicationDirPath();
    const QString shot = QString::fromStdString(qrdtest::workstation().dir) + "/shot.png";
    auto median = [&](const QString& program) {
        std::vector<double> times;
        for (int i = 0; i < kStarts; ++i) {
            QElapsedTimer start;
            start.start();
            const int status = QProcess::execute(program, {QStringLiteral("--screenshot"), shot});
            times.push_back(status == 0 ? ms(start) : -1);
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    CQrdApi::destroySession();
    const double bare = median(dir + "/desk_bare_window");
    const double desktop = median(dir + "/../app/namedesk");
    std::printf("cold start, bare Qt window      %8.1f ms (median of %d)\n", bare, kStarts);
    std::printf("cold start, namedesk            %8.1f ms  (%.2fx)\n", desktop, desktop / bare);
    return 0;
}
