#include "commandline.h"

#include <algorithm>
#include <cstdlib>

namespace usraction {

namespace {

constexpr std::string_view kSeparators = " ,\t\n";

// Bytes of the UTF-8 character that starts with `lead` (1 for a stray byte,
// so that a broken sequence still moves on).
size_t charLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The longest whole-character prefix of `text` of at most `limit` bytes.
std::string_view wholeCharacters(std::string_view text, size_t limit) {
    size_t n = 0;
    while (n < text.size()) {
        size_t len = std::min(charLength(static_cast<unsigned char>(text[n])), text.size() - n);
        if (n + len > limit) break;
        n += len;
    }
    return text.substr(0, n);
}

// Appends to a buffer that must not exceed kExpandedMax bytes; once
// something did not fit, nothing more is taken (the line is cut, not
// pieced together).
class Buffer {
  public:
    void append(std::string_view text) {
        if (full_) return;
        std::string_view fits = wholeCharacters(text, kExpandedMax - out_.size());
        out_ += fits;
        if (fits.size() < text.size()) full_ = true;
    }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
    bool full_ = false;
};

std::string trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\n");
    if (b == std::string_view::npos) return "";
    size_t e = s.find_last_not_of(" \t\n");
    return std::string(s.substr(b, e - b + 1));
}

CommandParts splitAt(std::string_view line, size_t sep) {
    if (sep == std::string_view::npos) return {trimmed(line), ""};
    return {trimmed(line.substr(0, sep)), trimmed(line.substr(sep + 1))};
}

} // namespace

std::optional<std::string> processEnvironment(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    if (!v) return std::nullopt;
    return std::string(v);
}

std::string expandCommandLine(std::string_view line, std::string_view item,
                              const Environment& env) {
    Buffer out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '%') {
            size_t len = std::min(charLength(static_cast<unsigned char>(line[i])), line.size() - i);
            out.append(line.substr(i, len));
            i += len;
            continue;
        }
        size_t close = line.find('%', i + 1);
        if (close == std::string_view::npos) {
            // A lone percent sign (say "100%") is text, not a variable.
            out.append(line.substr(i));
            break;
        }
        std::string_view name = line.substr(i + 1, close - i - 1);
        if (name.empty()) {
            out.append(item);
        } else {
            std::optional<std::string> value =
                env ? env(std::string(wholeCharacters(name, kVariableNameMax))) : std::nullopt;
            if (value) out.append(*value);
        }
        i = close + 1;
    }
    return out.take();
}

CommandParts splitCommandLine(std::string_view line,
                              const std::function<bool(const std::string&)>& exists) {
    std::string whole = trimmed(line);
    std::string_view text = whole;
    if (text.empty()) return {};
    if (text.front() == '"') {
        size_t close = text.find('"', 1);
        if (close == std::string_view::npos) return {std::string(text.substr(1)), ""};
        return {std::string(text.substr(1, close - 1)), trimmed(text.substr(close + 1))};
    }
    if (exists(whole)) return {whole, ""};
    size_t dot = text.find('.');
    if (dot != std::string_view::npos) {
        CommandParts parts = splitAt(text, text.find_first_of(kSeparators, dot));
        if (exists(parts.program)) return parts;
    }
    return splitAt(text, text.find_first_of(kSeparators));
}

std::vector<std::string> splitParameters(std::string_view parameters) {
    std::vector<std::string> args;
    std::string current;
    bool inWord = false, quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
            if (inWord) args.push_back(std::move(current));
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) args.push_back(std::move(current));
    return args;
}

} // namespace usraction
