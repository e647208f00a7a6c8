#include "check.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "namedir.h"

namespace namedirtool {

using namespace namedir;
using namespace namedir::layout;

namespace {

// One live object of the holder, as stored.
struct Object {
    DIRCommonInfo header;
    std::set<uint32_t> categories;
    std::vector<DIRRefInfo> contents, actions;
    std::vector<DIRParentInfo> parents;
    std::string key;
};

struct Problem {
    std::string kind, text;
    std::function<long()> repair; // empty: report only
};

bool isHolder(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
           });
}

template <typename T>
long readList(AttrStore& store, const std::string& holder, uint32_t category, uint32_t number,
              long (*decode)(const AttrStream&, std::vector<T>&), std::vector<T>& list) {
    AttrStream s(holder, category, number);
    long e = s.read(store);
    if (e == DIR_ATTR_MISSING) {
        list.clear();
        return DIR_OK;
    }
    return e ? e : decode(s, list);
}

// Rewrites one list without the entries `drop` picks, or with `add` appended,
// and moves the main record's modification time on (when there is one) so
// that the desktop reads the object again.
template <typename T>
long rewriteList(AttrStore& store, const std::string& holder, uint32_t category, uint32_t number,
                 long (*decode)(const AttrStream&, std::vector<T>&),
                 long (*encode)(const std::vector<T>&, AttrStream&),
                 const std::function<void(std::vector<T>&)>& change) {
    std::vector<T> list;
    if (long e = readList(store, holder, category, number, decode, list)) return e;
    change(list);
    AttrStream s(holder, category, number);
    if (long e = encode(list, s)) return e;
    if (long e = s.write(store)) return e;
    AttrStream main(holder, kCatMain, number);
    DIRCommonInfo header;
    if (main.read(store) != DIR_OK || decodeMainRecord(main, header) != DIR_OK) return DIR_OK;
    DIRTime now = std::max<DIRTime>(DIRCurrentTime(), header.base.modified + 1);
    if (long e = encodeMainRecord(header, now, main)) return e;
    return main.write(store);
}

std::string keyOf(const DIRAddressPtr& a) {
    return a ? a->uniqueKey : std::string();
}

class Checker {
  public:
    Checker(AttrStore& store, std::string holder, bool group, FILE* out)
        : store_(store), holder_(std::move(holder)), group_(group), out_(out),
          range_(holderRange(group)) {}

    CheckResult run(const std::vector<AttrName>& attrs, bool repair) {
        load(attrs);
        if (!result_.failed) {
            checkReferences();
            checkParents();
            checkFreeList();
            checkReached();
        }
        for (Problem& p : problems_) {
            ++result_.found;
            std::fprintf(out_, "%s: %s", p.kind.c_str(), p.text.c_str());
            if (repair && p.repair) {
                long e = p.repair();
                if (e == DIR_OK) ++result_.repaired;
                std::fprintf(out_, e ? " (repair failed: %ld)" : " (repaired)", e);
            }
            std::fprintf(out_, "\n");
        }
        return result_;
    }

  private:
    void failed(const std::string& what, long code) {
        std::fprintf(out_, "error: %s: %s (%ld)\n", what.c_str(),
                     DIRErrorText(code) ? DIRErrorText(code) : "", code);
        result_.failed = true;
    }

    void load(const std::vector<AttrName>& attrs) {
        std::map<uint32_t, std::set<uint32_t>> numbers;
        for (const AttrName& a : attrs)
            if (a.category >= kCatMain && a.category <= kCatContents &&
                !(a.category == kCatActionList && range_.contains(a.number))) // tickets
                numbers[a.number].insert(a.category);
        for (const auto& [number, categories] : numbers) {
            AttrStream main(holder_, kCatMain, number);
            long e = categories.count(kCatMain) ? main.read(store_) : long(DIR_ATTR_MISSING);
            FreeSlotRecord marker{};
            if (e == DIR_OK && decodeFreeSlot(main, marker)) {
                markers_[number] = categories;
                continue;
            }
            Object o;
            o.categories = categories;
            if (e == DIR_OK) e = decodeMainRecord(main, o.header);
            if (e == DIR_ATTR_MISSING) continue; // a ticket, or parts of nothing
            if (e) {
                failed("main record " + std::to_string(number), e);
                continue;
            }
            o.key = DIRMakeUniqueKey(holder_, kCatMain, number, o.header.base.created);
            long r = readList(store_, holder_, kCatContents, number, decodeReferences, o.contents);
            if (!r && !range_.contains(number))
                r = readList(store_, holder_, kCatActionList, number, decodeReferences, o.actions);
            if (!r) r = readList(store_, holder_, kCatParents, number, decodeParents, o.parents);
            if (r) failed("lists of " + o.key, r);
            objects_.emplace(number, std::move(o));
        }
    }

    // Whether the entry's target exists: on this holder from what was
    // loaded, elsewhere by reading its main record. The creation time must
    // match: a number taken again by another object is not the object.
    bool exists(const DIRAddressPtr& a) {
        const DIRNmDirectoryAddress* nm = a.nm();
        if (!nm) return false;
        if (isHolder(nm->nmName, holder_)) {
            auto it = objects_.find(uint32_t(nm->attrNumber));
            return it != objects_.end() && it->second.header.base.created == nm->nmTime;
        }
        AttrStream s(nm->nmName, kCatMain, uint32_t(nm->attrNumber));
        DIRCommonInfo header;
        return s.read(store_) == DIR_OK && decodeMainRecord(s, header) == DIR_OK &&
               header.base.created == nm->nmTime;
    }

    void checkReferences() {
        for (auto& [number, o] : objects_) {
            struct Listed {
                uint32_t category;
                const std::vector<DIRRefInfo>* list;
            };
            for (Listed l : {Listed{kCatContents, &o.contents}, Listed{kCatActionList, &o.actions}})
                for (const DIRRefInfo& r : *l.list) {
                    if (exists(r.address)) continue;
                    std::string gone = keyOf(r.address), holder = holder_;
                    uint32_t category = l.category, n = number;
                    problems_.push_back(
                        {"missing-object", o.key + " lists " + gone + ", which does not exist",
                         [this, holder, category, n, gone] {
                             return rewriteList<DIRRefInfo>(
                                 store_, holder, category, n, decodeReferences, encodeReferences,
                                 [&](std::vector<DIRRefInfo>& list) {
                                     std::erase_if(list, [&](const DIRRefInfo& e) {
                                         return keyOf(e.address) == gone;
                                     });
                                 });
                         }});
                }
        }
    }

    // A list of the object at `a`: from what was loaded on this holder,
    // elsewhere read.
    template <typename T>
    std::vector<T> listOf(const DIRAddressPtr& a, std::vector<T> Object::*member, uint32_t category,
                          long (*decode)(const AttrStream&, std::vector<T>&)) {
        const DIRNmDirectoryAddress* nm = a.nm();
        std::vector<T> list;
        if (!nm) return list;
        if (isHolder(nm->nmName, holder_)) {
            auto it = objects_.find(uint32_t(nm->attrNumber));
            if (it != objects_.end()) list = it->second.*member;
            return list;
        }
        readList(store_, nm->nmName, category, uint32_t(nm->attrNumber), decode, list);
        return list;
    }
    std::vector<DIRRefInfo> contentsOf(const DIRAddressPtr& a) {
        return listOf(a, &Object::contents, kCatContents, decodeReferences);
    }
    std::vector<DIRParentInfo> parentsOf(const DIRAddressPtr& a) {
        return listOf(a, &Object::parents, kCatParents, decodeParents);
    }

    void checkParents() {
        for (auto& [number, o] : objects_) {
            for (const DIRParentInfo& p : o.parents) {
                std::vector<DIRRefInfo> listed = contentsOf(p.address);
                if (std::any_of(listed.begin(), listed.end(),
                                [&](const DIRRefInfo& r) { return keyOf(r.address) == o.key; }))
                    continue;
                std::string parent = keyOf(p.address), holder = holder_;
                uint32_t n = number;
                problems_.push_back(
                    {"stale-parent",
                     o.key + " names " + parent + " as a parent, which does not list it",
                     [this, holder, n, parent] {
                         return rewriteList<DIRParentInfo>(
                             store_, holder, kCatParents, n, decodeParents, encodeParents,
                             [&](std::vector<DIRParentInfo>& list) {
                                 std::erase_if(list, [&](const DIRParentInfo& e) {
                                     return keyOf(e.address) == parent;
                                 });
                             });
                     }});
            }
            // Ordinary folders link back; the root and the new-folders list do not.
            if (o.header.base.objectType != DIR_TYPE_FOLDER || !range_.contains(number)) continue;
            for (const DIRRefInfo& r : o.contents) {
                if (!exists(r.address)) continue;
                std::vector<DIRParentInfo> parents = parentsOf(r.address);
                if (std::any_of(parents.begin(), parents.end(),
                                [&](const DIRParentInfo& p) { return keyOf(p.address) == o.key; }))
                    continue;
                const DIRNmDirectoryAddress* child = r.address.nm();
                std::string childHolder = child->nmName, folder = o.key;
                uint32_t childNumber = uint32_t(child->attrNumber);
                DIRParentInfo add{DIRAddressPtr(new DIRNmDirectoryAddress(holder_, kCatMain, number,
                                                                          o.header.base.created)),
                                  0};
                problems_.push_back(
                    {"missing-parent",
                     folder + " lists " + keyOf(r.address) + ", whose parents do not name it",
                     [this, childHolder, childNumber, add] {
                         return rewriteList<DIRParentInfo>(
                             store_, childHolder, kCatParents, childNumber, decodeParents,
                             encodeParents,
                             [&](std::vector<DIRParentInfo>& list) { list.push_back(add); });
                     }});
            }
        }
    }

    void checkFreeList() {
        FreeList list(store_, holder_, group_);
        FreeSlotRecord head{};
        long e = list.readHead(head);
        if (e == DIR_ATTR_MISSING) return; // nothing allocated yet
        auto rebuild = [this] { return FreeList(store_, holder_, group_).rebuild(); };
        if (e) {
            problems_.push_back({"free-in-use",
                                 "the free-list head cannot be used (" + std::to_string(e) + ")",
                                 rebuild});
            return;
        }
        std::set<uint32_t> seen;
        FreeSlotRecord at = head;
        while (!at.counterMode) {
            uint32_t n = at.number;
            auto m = markers_.find(n);
            std::string why;
            if (!seen.insert(n).second)
                why = "the free chain runs in a circle at " + std::to_string(n);
            else if (objects_.count(n))
                why = "the free chain names " + std::to_string(n) + ", which holds an object";
            else if (m == markers_.end())
                why = "the free chain names " + std::to_string(n) + ", which has no marker";
            else if (m->second.size() > 1)
                why = "free number " + std::to_string(n) + " still holds data";
            if (!why.empty()) {
                problems_.push_back({"free-in-use", why, rebuild});
                return;
            }
            AttrStream s(holder_, kCatMain, n);
            if (s.read(store_) || !decodeFreeSlot(s, at)) return;
        }
        for (const auto& [n, o] : objects_)
            if (range_.contains(n) && n >= at.number) {
                problems_.push_back({"free-in-use",
                                     "the free-list counter " + std::to_string(at.number) +
                                         " would hand out " + o.key + " again",
                                     rebuild});
                return;
            }
    }

    // Every list on the holders that may name this holder's objects: the
    // user's group, or the group's users.
    std::vector<DIRRefInfo> foreignEntries() {
        std::vector<std::string> holders;
        if (group_) {
            CQrdApi::enumGroupUsers(holder_, holders);
        } else {
            std::vector<std::string> parts;
            uint16_t count = 3;
            if (CQrdApi::breakName(holder_, parts, count) == 0 && count == 3)
                holders.push_back(parts[1] + "@" + parts[2]);
        }
        std::vector<DIRRefInfo> out;
        for (const std::string& h : holders) {
            std::vector<AttrName> attrs;
            if (CQrdApi::scanAttributes(h, {kCatActionList, 0}, {kCatContents, 0xFFFFFFFF}, attrs))
                continue;
            for (const AttrName& a : attrs) {
                if (a.category != kCatContents && a.category != kCatActionList) continue;
                std::vector<DIRRefInfo> list;
                if (readList(store_, h, a.category, a.number, decodeReferences, list) == DIR_OK)
                    for (DIRRefInfo& r : list)
                        out.push_back(std::move(r));
            }
        }
        return out;
    }

    void checkReached() {
        std::set<uint32_t> reached;
        std::deque<uint32_t> todo;
        auto reach = [&](const DIRRefInfo& r) {
            const DIRNmDirectoryAddress* nm = r.address.nm();
            if (!nm || !isHolder(nm->nmName, holder_)) return;
            uint32_t n = uint32_t(nm->attrNumber);
            auto it = objects_.find(n);
            if (it == objects_.end() || it->second.key != keyOf(r.address)) return;
            if (reached.insert(n).second) todo.push_back(n);
        };
        for (const auto& [n, o] : objects_)
            if (!range_.contains(n)) { // the fixed objects: roots
                for (const DIRRefInfo& r : o.contents)
                    reach(r);
                for (const DIRRefInfo& r : o.actions)
                    reach(r);
            }
        for (const DIRRefInfo& r : foreignEntries())
            reach(r);
        while (!todo.empty()) {
            uint32_t n = todo.front();
            todo.pop_front();
            for (const DIRRefInfo& r : objects_[n].contents)
                reach(r);
        }
        for (const auto& [n, o] : objects_)
            if (range_.contains(n) && !reached.count(n))
                problems_.push_back({"unreached",
                                     o.key + " (\"" + o.header.name +
                                         "\") is named by no folder, library, toolbar or list",
                                     nullptr});
    }

    AttrStore& store_;
    std::string holder_;
    bool group_;
    FILE* out_;
    NumberRange range_;
    std::map<uint32_t, Object> objects_;
    std::map<uint32_t, std::set<uint32_t>> markers_;
    std::vector<Problem> problems_;
    CheckResult result_;
};

} // namespace

CheckResult checkHolder(AttrStore& store, const std::string& holder, bool group,
                        const std::vector<AttrName>& attrs, bool repair, FILE* out) {
    return Checker(store, holder, group, out).run(attrs, repair);
}

} // namespace namedirtool
