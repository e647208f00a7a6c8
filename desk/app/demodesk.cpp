// namedesk-demo: gives the logged-in user the small desktop that a seed
// file describes, so that a first look at the desktop is not empty. It
// reads the seed's "#desk NAME ..." lines for the user (namewrightd takes
// them for comments), fields separated by "|":
//
//   #desk alice@Sales@Demo card|Alice Archer
//   #desk alice@Sales@Demo folder|Projects|Plans and budgets
//   #desk alice@Sales@Demo shared|Sales Team|Shared with Bob|bob@Sales@Demo=2
//   #desk alice@Sales@Demo document|Projects|Plan|plan.txt|The project plan
//   #desk alice@Sales@Demo web|Links|Debian|https://www.debian.org/|The distribution
//   #desk alice@Sales@Demo publish|Sales Team|bob@Sales@Demo
//
// Documents name files in the --files directory (a mounted file service).
// A user who has a desktop with folders already is left alone.
#include "actions/usrlaunchactivation.h"
#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "document/uidesktop.h"
#include "folders/usrfoldernode.h"
#include "items/itemcommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <namedir/qrdapi_wrapper.h>

namespace {

// Answers the logic's dialogs with the values of the line being made.
class FillingPrompter : public USRPrompter {
  public:
    QVariantMap next; // merged into the next dialog's values
    std::vector<std::string> problems;

    bool askYesNo(const std::string&, USRIcon) override { return false; }
    void showMessage(const std::string& text, USRIcon) override { problems.push_back(text); }
    USRReply runDialog(USRDialog, QVariantMap& values) override {
        for (auto it = next.begin(); it != next.end(); ++it)
            values[it.key()] = it.value();
        next.clear();
        return USR_REPLY_OK;
    }
};

int usage(FILE* out, int status) {
    std::fputs("Usage: namedesk-demo SEED --files DIR\n"
               "\n"
               "Gives the user logged in on this workstation the demo desktop that the\n"
               "seed file's \"#desk NAME KIND|...\" lines describe for them: the business\n"
               "card, personal and shared folders, documents (files in DIR, a mounted file\n"
               "service), web items, and publications. A user whose desktop holds folders\n"
               "already is left as it is.\n"
               "\n"
               "  -h, --help   show this text\n",
               out);
    return status;
}

struct Builder {
    USRContext& ctx;
    FillingPrompter& prompter;
    UIDesktop& doc;
    QString files;
    std::map<QString, USRFolderNode*> folders;

    bool fail(const QString& what) {
        std::fprintf(stderr, "namedesk-demo: %s", qPrintable(what));
        for (const std::string& p : prompter.problems)
            std::fprintf(stderr, ": %s", p.c_str());
        std::fputc('\n', stderr);
        return false;
    }

    USRFolderNode* folder(const QString& name) {
        auto it = folders.find(name);
        return it == folders.end() ? nullptr : it->second;
    }

    bool makeFolder(const QStringList& f, bool shared) {
        doc.setCurrentFolder(doc.rootFolder(), nullptr);
        QVariantList rights;
        for (int i = 3; i < f.size(); ++i) {
            const QStringList entry = f[i].split(QLatin1Char('='));
            rights.push_back(QVariantMap{{"name", entry.value(0)},
                                         {"role", entry.value(1, QStringLiteral("1")).toInt()},
                                         {"kind", 1}});
        }
        prompter.next = {{"name", f.value(1)}, {"description", f.value(2)}, {"publish", 0}};
        if (shared) prompter.next["rights"] = rights;
        USRFolderNode* made = doc.newFolder(shared);
        if (!made) return fail(QStringLiteral("cannot make the folder %1").arg(f.value(1)));
        folders[f.value(1)] = made;
        return true;
    }

    bool makeItem(const QStringList& f, bool document) {
        USRFolderNode* in = folder(f.value(1));
        if (!in) return fail(QStringLiteral("no folder %1 before its items").arg(f.value(1)));
        if (document) {
            const QString path = QDir(files).filePath(f.value(3));
            prompter.next = {{"name", f.value(2)}, {"description", f.value(4)}};
            if (!USRNewDocumentItem(ctx, *in, path.toStdString(), nullptr))
                return fail(QStringLiteral("cannot add the document %1").arg(path));
            return true;
        }
        prompter.next = {{"name", f.value(2)}, {"url", f.value(3)}, {"description", f.value(4)}};
        if (!USRNewWebItem(ctx, *in, nullptr))
            return fail(QStringLiteral("cannot add the web item %1").arg(f.value(2)));
        return true;
    }

    bool publish(const QStringList& f) {
        USRFolderNode* shared = folder(f.value(1));
        if (!shared) return fail(QStringLiteral("no folder %1 to publish").arg(f.value(1)));
        for (int i = 2; i < f.size(); ++i) {
            long e = 0;
            if (!shared->publishTo(f[i].toStdString(), e))
                return fail(
                    QStringLiteral("cannot publish %1 to %2: %3")
                        .arg(f.value(1), f[i], QString::fromStdString(USRErrorText(e, true))));
        }
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help")))
        return usage(stdout, 0);
    const int filesAt = int(args.indexOf(QStringLiteral("--files")));
    if (args.size() != 3 || filesAt != 1) return usage(stderr, 2);
    QFile seed(args[0]);
    if (!seed.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "namedesk-demo: cannot read %s: %s\n", qPrintable(args[0]),
                     qPrintable(seed.errorString()));
        return 1;
    }

    USRContext& ctx = USRContext::process();
    FillingPrompter prompter;
    USRLaunchActivation activation;
    ctx.setPrompter(&prompter);
    ctx.setActivation(&activation);
    std::string user;
    long e = 0;
    if (!ctx.loginName(user, e)) {
        std::fprintf(stderr, "namedesk-demo: %s\n", USRErrorText(e).c_str());
        return 1;
    }
    // This user's lines.
    const QString prefix =
        QStringLiteral("#desk ") + QString::fromStdString(user) + QLatin1Char(' ');
    std::vector<QStringList> lines;
    QTextStream in(&seed);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            lines.push_back(line.mid(prefix.size()).split(QLatin1Char('|')));
    }
    int status = 0;
    {
        UIDesktop doc(ctx);
        for (const QStringList& f : lines)
            if (f.value(0) == QLatin1String("card")) {
                QStringList texts(13);
                texts[0] = f.value(1);
                prompter.next = {{"texts", texts}};
            }
        if (!doc.loadDesktop(false)) {
            std::fprintf(stderr, "namedesk-demo: cannot load or make the desktop of %s\n",
                         user.c_str());
            return 1;
        }
        prompter.next.clear();
        if (!doc.rootFolder()->children().empty()) {
            std::printf("namedesk-demo: %s has a desktop already\n", user.c_str());
            doc.shutdown();
            return 0;
        }
        Builder b{ctx, prompter, doc, args[2], {}};
        using Step = std::function<bool(const QStringList&)>;
        const std::map<QString, Step> steps{
            {QStringLiteral("card"), [](const QStringList&) { return true; }},
            {QStringLiteral("folder"),
             [&b](const QStringList& f) { return b.makeFolder(f, false); }},
            {QStringLiteral("shared"),
             [&b](const QStringList& f) { return b.makeFolder(f, true); }},
            {QStringLiteral("document"),
             [&b](const QStringList& f) { return b.makeItem(f, true); }},
            {QStringLiteral("web"), [&b](const QStringList& f) { return b.makeItem(f, false); }},
            {QStringLiteral("publish"), [&b](const QStringList& f) { return b.publish(f); }},
        };
        for (const QStringList& f : lines) {
            auto step = steps.find(f.value(0));
            if (step == steps.end()) {
                std::fprintf(stderr, "namedesk-demo: unknown line kind %s\n",
                             qPrintable(f.value(0)));
                status = 1;
                break;
            }
            prompter.problems.clear();
            if (!step->second(f)) {
                status = 1;
                break;
            }
        }
        if (status == 0) std::printf("namedesk-demo: made the demo desktop of %s\n", user.c_str());
        doc.shutdown();
    }
    ctx.setPrompter(nullptr);
    ctx.setActivation(nullptr);
    CQrdApi::destroySession();
    return status;
}
