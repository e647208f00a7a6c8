// The readable description of an attribute definition file (avdwriter.h).
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "avdformat.h"
#include "avdwriter.h"
#include "qrd/latin1.h"

namespace avd {

namespace {

// One line split into words; a quoted word keeps its blanks.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else if (line[i] == '"') {
            std::string word;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                word.push_back(line[i]);
            }
            if (i >= line.size()) {
                error = "a name misses its closing double quote";
                return false;
            }
            ++i;
            words.push_back("\"" + word);
        } else {
            size_t end = line.find_first_of(" \t\r", i);
            if (end == std::string::npos) end = line.size();
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool number(const std::string& word, uint32_t& out) {
    if (word.empty() || word[0] == '"' || word[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(word.c_str(), &end, 0);
    if (errno || *end || v > 0xFFFFFFFFull) return false;
    out = uint32_t(v);
    return true;
}

bool name(const std::string& word, std::string& out, std::string& error) {
    if (word.empty() || word[0] != '"') {
        error = "expected a name in double quotes, found '" + word + "'";
        return false;
    }
    if (!qrd::utf8ToLatin1(word.substr(1), out)) {
        error = "the name \"" + word.substr(1) + "\" cannot be written in Latin-1";
        return false;
    }
    if (out.size() > kMaxNameLen) {
        error = "a name is longer than " + std::to_string(kMaxNameLen) + " characters";
        return false;
    }
    return true;
}

struct Statement {
    const char* keyword;
    size_t numbers; // leading numbers
    bool named;     // followed by a name
    std::function<bool(Definition&, const uint32_t*, std::string&&, std::string&)> apply;
};

bool addValue(std::vector<NamedValue>* list, NamedValue v, const char* after, std::string& error) {
    if (!list) {
        error = std::string("comes before any ") + after;
        return false;
    }
    list->push_back(std::move(v));
    return true;
}

const Statement kStatements[] = {
    {"updated-by", 0, false,
     [](Definition& d, const uint32_t*, std::string&& n, std::string&) {
         d.updater = n;
         return true;
     }},
    {"updated-at", 1, false,
     [](Definition& d, const uint32_t* v, std::string&&, std::string&) {
         d.updated = v[0];
         return true;
     }},
    {"group", 2, true,
     [](Definition& d, const uint32_t* v, std::string&& n, std::string&) {
         d.entries.push_back({v[0], 0, v[1], std::move(n), {}});
         return true;
     }},
    {"attr", 3, true,
     [](Definition& d, const uint32_t* v, std::string&& n, std::string& error) {
         if (v[1] == 0) {
             error = "an attribute's item key must not be 0 (0 stands for the whole group)";
             return false;
         }
         d.entries.push_back({v[0], v[1], v[2], std::move(n), {}});
         return true;
     }},
    {"value", 1, true,
     [](Definition& d, const uint32_t* v, std::string&& n, std::string& error) {
         return addValue(d.entries.empty() ? nullptr : &d.entries.back().values,
                         {v[0], 0, std::move(n)}, "group or attr", error);
     }},
    {"general", 1, true,
     [](Definition& d, const uint32_t* v, std::string&& n, std::string&) {
         d.general.push_back({v[0], 0, std::move(n)});
         return true;
     }},
    {"table", 1, false,
     [](Definition& d, const uint32_t* v, std::string&&, std::string&) {
         d.tables.push_back({v[0], {}});
         return true;
     }},
    {"item", 2, true,
     [](Definition& d, const uint32_t* v, std::string&& n, std::string& error) {
         return addValue(d.tables.empty() ? nullptr : &d.tables.back().items,
                         {v[0], v[1], std::move(n)}, "table", error);
     }},
};

bool statement(const std::vector<std::string>& words, Definition& def, std::string& error) {
    for (const Statement& s : kStatements) {
        if (words[0] != s.keyword) continue;
        // updated-by takes a bare or quoted name as its one argument.
        bool updater = std::string(s.keyword) == "updated-by";
        size_t want = 1 + s.numbers + (s.named || updater ? 1 : 0);
        if (words.size() != want) {
            error = "'" + words[0] + "' takes " + std::to_string(want - 1) +
                    " argument(s), found " + std::to_string(words.size() - 1);
            return false;
        }
        uint32_t v[3] = {};
        for (size_t i = 0; i < s.numbers; ++i) {
            if (!number(words[1 + i], v[i])) {
                error = "'" + words[1 + i] + "' is not a number from 0 to 4294967295";
                return false;
            }
        }
        std::string text;
        if (updater) {
            std::string w = words[1][0] == '"' ? words[1] : "\"" + words[1];
            if (!name(w, text, error)) return false;
            if (text.size() >= kUpdaterLen) {
                error = "the updater's name is longer than " + std::to_string(kUpdaterLen - 1) +
                        " characters";
                return false;
            }
        } else if (s.named && !name(words.back(), text, error)) {
            return false;
        }
        return s.apply(def, v, std::move(text), error);
    }
    error = "unknown statement '" + words[0] +
            "' (expected updated-by, updated-at, group, attr, value, general, table or item)";
    return false;
}

} // namespace

bool parseDescription(const std::string& text, Definition& out,
                      std::vector<std::string>& problems) {
    Definition def;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::vector<std::string> words;
        std::string error;
        if (splitWords(line, words, error) && (words.empty() || statement(words, def, error)))
            continue;
        problems.push_back(std::to_string(number) + ": " + error);
    }
    if (!problems.empty()) return false;
    out = std::move(def);
    return true;
}

} // namespace avd
