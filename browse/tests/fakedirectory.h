// A directory-assistance service in memory for the browser's tests: a sorted
// answer set paged the way the service pages (relative positions 0-100, 101
// for "beside the current page", a position text), with every query kept.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "namesource.h"

namespace browsetest {

class FakeDirectory : public browse::NameSource {
  public:
    struct Name {
        std::string name;
        std::string description;
    };
    std::vector<Name> names; // sorted
    QRDSTATUS failWith = 0;  // answer every query with this status
    int queries = 0;
    QRD_NMDA_CONTEXT lastContext{};
    std::string lastPattern;
    std::vector<std::pair<QRD_NMDA_CRITERION, std::string>> lastCriteria;
    // Names whose description does not match the description criterion are
    // left out (enough for the refinement's tests).
    bool filterByDescription = true;

    static FakeDirectory numbered(int count, const char* prefix = "USER") {
        FakeDirectory d;
        for (int i = 0; i < count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%03d@Sales@Demo", prefix, i);
            d.names.push_back({name, "Person " + std::to_string(i)});
        }
        return d;
    }

    QRDSTATUS query(QRD_NMDA_CONTEXT& c, QRD_NMDA_QUERY& q, QRD_NMDA_RESULT& r) override {
        ++queries;
        lastContext = c;
        lastPattern = q.pattern;
        lastCriteria.clear();
        for (int i = 0; i < q.criteriaCount; ++i) {
            std::string text = static_cast<const char*>(q.criteria[i].text); // packed: by value
            lastCriteria.push_back({q.criteria[i], text});
        }
        if (failWith) return failWith;

        std::vector<Name> set;
        for (const Name& n : names)
            if (matches(n)) set.push_back(n);
        int count = int(set.size()), page = c.pageSize;
        auto index = [&](const char* key) {
            for (int i = 0; i < count; ++i)
                if (set[size_t(i)].name == key) return i;
            return -1;
        };
        auto atPercent = [&](int p) { return count ? p * (count - 1) / 100 : 0; };
        int start = 0;
        switch (c.operation) {
        case QRD_NMDA_OP_LAST:
            start = std::max(0, count - page);
            break;
        case QRD_NMDA_OP_NEXT:
            start = c.forward == QRD_NMDA_POS_BESIDE ? index(c.lastKey) + 1 : atPercent(c.forward);
            break;
        case QRD_NMDA_OP_PREVIOUS: {
            int end =
                c.backward == QRD_NMDA_POS_BESIDE ? index(c.firstKey) : atPercent(c.backward) + 1;
            start = std::max(0, end - page);
            page = std::min(page, std::max(0, end));
            break;
        }
        case QRD_NMDA_OP_AT_TEXT: {
            std::string text(c.positionText, strnlen(c.positionText, QRD_NMDA_TEXT_LEN));
            while (start < count && strcasecmp(set[size_t(start)].name.c_str(), text.c_str()) < 0)
                ++start;
            break;
        }
        }
        r = {};
        for (int i = start; i < count && int(r.count) < page; ++i) {
            QRD_NMDA_ENTRY& e = r.entries[r.count++];
            std::strncpy(e.name, set[size_t(i)].name.c_str(), NMNAMELEN - 1);
            std::strncpy(e.description, set[size_t(i)].description.c_str(), NMNAMELEN - 1);
            e.descKind = set[size_t(i)].description.empty() ? 0 : QRD_NMDA_VALUE_TEXT;
        }
        auto percent = [&](int i) { return count < 2 ? 0 : i * 100 / (count - 1); };
        if (r.count) {
            int last = start + r.count - 1;
            c.forward = uint16_t(percent(start));
            c.backward = uint16_t(percent(last));
            std::strncpy(c.firstKey, set[size_t(start)].name.c_str(), NMNAMELEN - 1);
            std::strncpy(c.lastKey, set[size_t(last)].name.c_str(), NMNAMELEN - 1);
        }
        return QRD_OK;
    }

  private:
    bool matches(const Name& n) const {
        if (!filterByDescription) return true;
        for (const auto& [c, text] : lastCriteria) {
            if (c.attr.category != QRD_NMDA_DESC_CATEGORY || c.attr.number != QRD_NMDA_DESC_NUMBER)
                continue;
            if (c.match == QRD_NMDA_MATCH_EXACT && n.description != text) return false;
            if (c.match == QRD_NMDA_MATCH_PATTERN && text != "*") {
                std::string stem = text.substr(0, text.find('*'));
                if (n.description.compare(0, stem.size(), stem) != 0) return false;
            }
        }
        return true;
    }
};

} // namespace browsetest
