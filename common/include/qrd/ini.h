// INI files: the Linux form of the registry keys and of QORDA.INI.
//
// Sections and keys keep their spelling (a registry key path keeps its
// backslashes) and are matched without regard to ASCII case, as the
// platform's profile functions do. Values are text; REG_DWORD values are
// written in decimal.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>

namespace qrd {

class IniFile {
  public:
    // Reads `path`; a missing or unreadable file gives an empty document.
    static IniFile load(const std::string& path);
    // Reads a document from `in`. Lines that are neither a section, a
    // key=value pair nor a comment are passed over.
    static IniFile parse(std::istream& in);

    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    std::string getString(const std::string& section, const std::string& key,
                          const std::string& fallback) const;
    // A value that is not a whole number in range gives the fallback.
    long getLong(const std::string& section, const std::string& key, long fallback) const;
    void set(const std::string& section, const std::string& key, const std::string& value);

    // Writes the whole document to `path` through a temporary file and a
    // rename, so that a reader never sees half a file. False on failure.
    bool save(const std::string& path) const;

  private:
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    using Section = std::map<std::string, std::string, NoCase>;
    std::map<std::string, Section, NoCase> sections_;
};

} // namespace qrd
