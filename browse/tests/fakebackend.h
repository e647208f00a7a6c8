// The browser's backend for widget tests: the directory in memory, attributes
// from a table, and message boxes answered from a script.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <map>

#include "backend.h"
#include "fakedirectory.h"
#include "messages.h"

namespace browsetest {

class FakeBackend : public browse::DirectoryBackend {
  public:
    explicit FakeBackend(FakeDirectory d) : directory(std::move(d)) {}
    FakeDirectory directory;
    std::map<std::pair<uint32_t, uint32_t>, browse::AttributeValue> attributes;
    QRDSTATUS scanStatus = QRD_OK;

    browse::NameSource& names() override { return directory; }
    std::string serverName() override { return "NW1@Sales@Demo"; }
    QRDSTATUS attribute(const std::string&, AttrName a, browse::AttributeValue& out) override {
        auto it = attributes.find({a.category, a.number});
        out = it == attributes.end() ? browse::AttributeValue{NMDA_ATTR_STAT_NOEXIST, 0, ""}
                                     : it->second;
        return QRD_OK;
    }
    QRDSTATUS scan(const std::string&, std::vector<AttrName>& out) override {
        out.clear();
        for (const auto& [k, v] : attributes)
            out.push_back({k.first, k.second});
        return scanStatus;
    }
};

class ScriptedMessages : public browse::Messages {
  public:
    std::vector<QString> shown; // "title: text"
    std::deque<bool> answers;   // for okCancel; Cancel when empty
    void inform(QWidget*, const QString& title, const QString& text) override {
        shown.push_back(title + ": " + text);
    }
    bool okCancel(QWidget*, const QString& title, const QString& text) override {
        shown.push_back(title + ": " + text);
        bool ok = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        return ok;
    }
};

// Runs `act` on the next modal window other than `except` once it shows.
inline void whenModal(std::function<void(QWidget*)> act, QWidget* except = nullptr) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act, except] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == except || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start(10);
}

} // namespace browsetest
