// INI files: the Linux form of the registry keys and of QORDA.INI.
//
// Sections and keys keep their spelling (a registry key path keeps its
// backslashes) and are matched without regard to ASCII case, as the
// platform's profile functions do. Values are text; REG_DWORD values are
// written in decimal. Every value remembers the line it came from, so that a
// program can say where a bad one is.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qrd {

class IniFile {
  public:
    // Reads `path`; a missing or unreadable file gives an empty document
    // whose found() is false and readError() says why.
    static IniFile load(const std::string& path);
    // Reads a document from `in`; `name` names it in messages. Lines that are
    // neither a section, a key=value pair nor a comment are passed over and
    // listed in problems().
    static IniFile parse(std::istream& in, const std::string& name = "");

    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    std::string getString(const std::string& section, const std::string& key,
                          const std::string& fallback) const;
    // A value that is not a whole number in range gives the fallback.
    long getLong(const std::string& section, const std::string& key, long fallback) const;
    void set(const std::string& section, const std::string& key, const std::string& value);

    // Writes the whole document to `path` through a temporary file and a
    // rename, so that a reader never sees half a file. False on failure.
    bool save(const std::string& path) const;

    // Where the document came from, as given to load() or parse().
    const std::string& name() const { return name_; }
    // False when load() could not read the file.
    bool found() const { return found_; }
    // Why load() could not read the file (the system's text), else "".
    const std::string& readError() const { return readError_; }
    // True when no section holds a key.
    bool empty() const;
    // "NAME:LINE" of a key (its last occurrence), "NAME" when it was set in
    // memory, or "" when it is absent.
    std::string where(const std::string& section, const std::string& key) const;
    // "NAME:LINE: ..." for every line that was passed over.
    const std::vector<std::string>& problems() const { return problems_; }

  private:
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    struct Value {
        std::string text;
        int line = 0; // 0: set in memory
    };
    using Section = std::map<std::string, Value, NoCase>;
    const Value* find(const std::string& section, const std::string& key) const;

    std::map<std::string, Section, NoCase> sections_;
    std::string name_;
    bool found_ = true;
    std::string readError_;
    std::vector<std::string> problems_;
};

} // namespace qrd
