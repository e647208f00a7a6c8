// Where files that other users share live, and how their paths read.
//
// A shared path keeps the network form \\SERVICE\share\rest, so that an item
// means the same on every workstation; newer clients (generation 2) put the
// UNC key before the service: \\Namewright\SERVICE\share\rest. On Linux a
// QORDA file service is a directory mounted where the redirector's mapping
// table ([DriveMappings] of QORDA.INI) says: a local path under it
// normalises to the network form, and localPath() turns a network path back
// into the local one when a file is opened. All members are static; the
// class keeps no state beyond the client generation (computed once).
#pragma once

#include <functional>
#include <string>
#include <string_view>

class USRFile {
  public:
    // Network (UNC) paths; one leading double quote is ignored.
    static bool isNetworkPath(std::string_view text);
    // The text between the leading backslashes and the next backslash.
    static bool serverOfNetworkPath(std::string_view path, std::string& server);
    // A network path whose first part is the UNC key (never for an empty key).
    static bool isKeyPath(std::string_view path);

    // 1 (older client naming) or 2 (newer), from the client's version number.
    static int clientGeneration();
    // "UNCKey" of HKEY_LOCAL_MACHINE\SOFTWARE\Halvex\Qrd\Client, read each
    // time; "Namewright\" when missing; "" for generation 1. Always ends in a
    // backslash when not empty.
    static std::string uncKey();

    // Rewrites a network path with full service names, and a drive path or a
    // local path under a mounted file service into the network form. Other
    // paths stay as they are. False when a service name cannot be resolved.
    static bool normalise(std::string& path);
    // The local path of a network path under a mounted file service; "" when
    // the path is not one this workstation reaches.
    static std::string localPath(std::string_view path);

    // A network path (after normalising) whose server is not this workstation.
    static bool isOnSharedArea(const std::string& path);
    // A path that names a file, not a directory.
    static bool isFile(const std::string& path);
    // The part after the last backslash (or slash, for local Linux paths).
    static std::string fileNameOf(std::string_view path);
    // This workstation's name: $QRD_WORKSTATION (a simulated workstation)
    // when set, else the host name up to its first dot; at most 16 characters.
    static std::string computerName();

    // The command that opens a file of the path's type: the path itself for
    // an executable, otherwise the default application of the XDG MIME
    // database (its Exec line without field codes). On failure `error` is a
    // system code below 33.
    static bool programForFile(const std::string& path, std::string& program, long& error);

    // How a service name becomes its full, formatted Namewright name; the
    // client library by default. Returns 0 or the library's status.
    using NameResolver = std::function<long(std::string& name)>;
    static void setNameResolver(NameResolver resolver);
    // Forgets the computed client generation (tests, a changed QORDA.INI).
    static void resetClientGeneration();
};
