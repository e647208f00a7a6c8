#include "jsonread.h"

#include "qrd/utf8.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

class Parser {
  public:
    explicit Parser(const std::string& t) : t_(t) {}

    bool document(JsonValue& v, std::string& error) {
        bool ok = value(v, 0) && (space(), at_ == t_.size());
        if (!ok) error = "not valid JSON at byte " + std::to_string(at_);
        return ok;
    }

  private:
    void space() {
        while (at_ < t_.size() &&
               (t_[at_] == ' ' || t_[at_] == '\n' || t_[at_] == '\r' || t_[at_] == '\t'))
            ++at_;
    }
    bool eat(char c) {
        space();
        if (at_ < t_.size() && t_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool word(const char* w) {
        size_t n = std::char_traits<char>::length(w);
        if (t_.compare(at_, n, w) != 0) return false;
        at_ += n;
        return true;
    }
    bool hex4(unsigned& u) {
        if (at_ + 4 > t_.size()) return false;
        u = 0;
        for (int i = 0; i < 4; ++i) {
            char c = t_[at_++];
            u <<= 4;
            if (c >= '0' && c <= '9')
                u |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                u |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                u |= unsigned(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }
    bool string(std::string& out) {
        if (!eat('"')) return false;
        while (at_ < t_.size()) {
            char c = t_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= t_.size()) return false;
            char e = t_[at_++];
            const char* plain = "\"\\/bfnrt";
            const char* meant = "\"\\/\b\f\n\r\t";
            if (const char* p = std::char_traits<char>::find(plain, 8, e)) {
                out += meant[p - plain];
                continue;
            }
            unsigned u = 0;
            if (e != 'u' || !hex4(u)) return false;
            if (u >= 0xD800 && u < 0xDC00) {
                unsigned low = 0;
                if (!word("\\u") || !hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            } else if (u >= 0xDC00 && u < 0xE000) {
                return false;
            }
            qrd::appendUtf8(out, u);
        }
        return false;
    }
    bool digits() {
        size_t from = at_;
        while (at_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[at_])))
            ++at_;
        return at_ > from;
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    bool number() {
        if (at_ < t_.size() && t_[at_] == '-') ++at_;
        if (at_ < t_.size() && t_[at_] == '0')
            ++at_;
        else if (!digits())
            return false;
        if (at_ < t_.size() && t_[at_] == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (at_ < t_.size() && (t_[at_] == 'e' || t_[at_] == 'E')) {
            ++at_;
            if (at_ < t_.size() && (t_[at_] == '+' || t_[at_] == '-')) ++at_;
            if (!digits()) return false;
        }
        return true;
    }
    bool value(JsonValue& v, int depth) {
        if (depth > 64) return false;
        space();
        if (at_ >= t_.size()) return false;
        char c = t_[at_];
        if (c == '{') {
            ++at_;
            v.kind = JsonValue::Object;
            if (eat('}')) return true;
            do {
                std::string key;
                JsonValue item;
                if (!string(key) || !eat(':') || !value(item, depth + 1)) return false;
                v.members[key] = std::move(item);
            } while (eat(','));
            return eat('}');
        }
        if (c == '[') {
            ++at_;
            v.kind = JsonValue::Array;
            if (eat(']')) return true;
            do {
                v.items.emplace_back();
                if (!value(v.items.back(), depth + 1)) return false;
            } while (eat(','));
            return eat(']');
        }
        if (c == '"') {
            v.kind = JsonValue::String;
            return string(v.text);
        }
        if (word("true") || word("false")) {
            v.kind = JsonValue::Bool;
            v.boolean = c == 't';
            return true;
        }
        if (word("null")) return true;
        size_t start = at_;
        if (!number()) return false;
        v.kind = JsonValue::Number;
        v.text = t_.substr(start, at_ - start);
        return true;
    }

    const std::string& t_;
    size_t at_ = 0;
};

} // namespace

bool JsonValue::integer(long long min, long long max, long long& value) const {
    if (kind != Number) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < min || v > max) return false;
    value = v;
    return true;
}

bool parseJson(const std::string& text, JsonValue& out, std::string& error) {
    out = JsonValue{};
    return Parser(text).document(out, error);
}
