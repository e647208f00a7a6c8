// The program registered for a file's type: the XDG MIME database and the
// default applications of mimeapps.list (then the desktop files' own
// claims in mimeinfo.cache).
#include <sys/stat.h>
#include <unistd.h>

#include <QMimeDatabase>
#include <QMimeType>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "files/pathtext.h"
#include "files/usrfile.h"
#include "files/xdgapps.h"
#include "qrd/ini.h"

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::vector<std::string> splitList(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, sep))
        if (!part.empty()) out.push_back(part);
    return out;
}

std::string home() {
    return envOr("HOME", "");
}

// Where mimeapps.list may stand, most important first.
std::vector<std::string> associationFiles() {
    std::vector<std::string> files{envOr("XDG_CONFIG_HOME", home() + "/.config") +
                                   "/mimeapps.list"};
    for (const std::string& d : splitList(envOr("XDG_CONFIG_DIRS", "/etc/xdg"), ':'))
        files.push_back(d + "/mimeapps.list");
    for (const std::string& d : usrfile::dataDirs()) {
        files.push_back(d + "/applications/mimeapps.list");
        files.push_back(d + "/applications/defaults.list");
    }
    return files;
}

// The Exec line of an installed desktop entry; "" when there is none.
std::string execOf(const std::string& desktopId) {
    if (desktopId.find('/') != std::string::npos) return "";
    for (const std::string& d : usrfile::dataDirs()) {
        qrd::IniFile entry = qrd::IniFile::load(d + "/applications/" + desktopId);
        if (!entry.found()) continue;
        if (usrfile::equalsNoCase(entry.getString("Desktop Entry", "Hidden", ""), "true"))
            return "";
        return usrfile::programOfExec(entry.getString("Desktop Entry", "Exec", ""));
    }
    return "";
}

std::string programFor(const std::vector<std::string>& types) {
    // Chosen defaults first, then any application that claims the type.
    std::vector<std::pair<std::string, std::string>> lookups;
    for (const std::string& file : associationFiles())
        lookups.push_back({file, "Default Applications"});
    for (const std::string& d : usrfile::dataDirs())
        lookups.push_back({d + "/applications/mimeinfo.cache", "MIME Cache"});
    for (const auto& [file, section] : lookups) {
        qrd::IniFile list = qrd::IniFile::load(file);
        if (!list.found()) continue;
        for (const std::string& type : types)
            for (const std::string& id : splitList(list.getString(section, type, ""), ';'))
                if (std::string program = execOf(id); !program.empty()) return program;
    }
    return "";
}

bool isExecutableFile(const std::string& local) {
    struct stat st {};
    return !local.empty() && stat(local.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(local.c_str(), X_OK) == 0;
}

} // namespace

namespace usrfile {

std::vector<std::string> dataDirs() {
    std::vector<std::string> dirs{envOr("XDG_DATA_HOME", home() + "/.local/share")};
    for (const std::string& d :
         splitList(envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
        dirs.push_back(d);
    return dirs;
}

std::string programOfExec(const std::string& exec) {
    // Field codes name what the launcher passes; the caller appends the
    // file itself.
    std::string out;
    for (const std::string& word : splitList(exec, ' ')) {
        if (word.size() == 2 && word[0] == '%') continue;
        if (!out.empty()) out += ' ';
        out += word;
    }
    return out;
}

} // namespace usrfile

bool USRFile::programForFile(const std::string& path, std::string& program, long& error) {
    std::string name = fileNameOf(path);
    size_t dot = name.find('.');
    std::string local =
        isNetworkPath(path) ? localPath(path) : std::string(usrfile::unquoted(path));
    if ((dot != std::string::npos && usrfile::equalsNoCase(name.substr(dot), ".exe")) ||
        isExecutableFile(local)) {
        program = path;
        return true;
    }
    QMimeDatabase db;
    QMimeType type = local.empty() ? db.mimeTypeForFile(QString::fromStdString(name),
                                                        QMimeDatabase::MatchExtension)
                                   : db.mimeTypeForFile(QString::fromStdString(local));
    std::vector<std::string> types;
    if (type.isValid()) {
        types.push_back(type.name().toStdString());
        for (const QString& t : type.aliases() + type.allAncestors())
            types.push_back(t.toStdString());
    }
    program = programFor(types);
    if (program.empty()) {
        error = ENOENT; // nothing is registered for the type
        return false;
    }
    return true;
}
