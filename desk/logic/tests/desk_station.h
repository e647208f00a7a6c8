// A simulated workstation for the desktop's scenario tests: its own store
// object (counting attribute calls), context, scripted prompter and
// document. Stations take turns on the test's one workstation: acting as a
// station ends this thread's session and logs its user in.
#pragma once

#include <QCoreApplication>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include <namedir/attrstream.h>
#include <namedir/directory.h>

#include "core/context.h"
#include "document/uidesktop.h"
#include "script_prompter.h"

// Counts the attribute calls of one store object.
class CountingStore : public namedir::AttrStore {
  public:
    std::atomic<int> reads{0}, writes{0}, removes{0};
    QRDSTATUS read(const std::string& h, uint32_t c, uint32_t n,
                   std::vector<uint8_t>& bytes) override {
        ++reads;
        return namedir::clientAttrStore().read(h, c, n, bytes);
    }
    QRDSTATUS write(const std::string& h, uint32_t c, uint32_t n,
                    const std::vector<uint8_t>& bytes) override {
        ++writes;
        return namedir::clientAttrStore().write(h, c, n, bytes);
    }
    QRDSTATUS remove(const std::string& h, uint32_t c, uint32_t n) override {
        ++removes;
        return namedir::clientAttrStore().remove(h, c, n);
    }
    QRDSTATUS writeIf(const std::string& h, uint32_t c, uint32_t n, const std::vector<uint8_t>& b,
                      const std::vector<namedir::AttrCondition>& conditions) override {
        ++writes;
        return namedir::clientAttrStore().writeIf(h, c, n, b, conditions);
    }
    int calls() const { return reads + writes + removes; }
    void reset() { reads = writes = removes = 0; }
};

struct Station {
    Station(std::string u, std::string p) : user(std::move(u)), password(std::move(p)) {
        ctx.setPrompter(&prompter);
        desk.setContentsView(true);
        QObject::connect(&desk.notifier(), &USRNotifier::hint,
                         [this](int code, USRNode*) { hints.push_back(code); });
        QObject::connect(&desk, &UIDesktop::exitRequested, [this] { ++exits; });
    }
    ~Station() { desk.waitInboxUpdate(30000); }

    std::string user, password;
    CountingStore store;
    DIRDirectory dir{store};
    USRContext ctx{dir};
    ScriptPrompter prompter;
    UIDesktop desk{ctx};
    std::vector<int> hints;
    int exits = 0;

    bool sawHint(int code) const {
        for (int h : hints)
            if (h == code) return true;
        return false;
    }
};

// The card sheet answered with `name` as the card's first text.
inline ScriptPrompter::Step cardNamed(const std::string& name, USRReply reply = USR_REPLY_OK) {
    return [=](USRDialog, QVariantMap& v) {
        QStringList texts = v["texts"].toStringList();
        while (texts.size() < 13)
            texts << QString();
        texts[0] = QString::fromStdString(name);
        v["texts"] = texts;
        return reply;
    };
}

// One QCoreApplication for the test process (queued calls need one).
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "desk_logic_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}
