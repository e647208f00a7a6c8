// URL forms of web items and the temporary Internet shortcut.
#pragma once

#include <string>
#include <string_view>

// Whether a URL begins with one of the known forms (http://, www., mailto://,
// ...), without regard to case.
bool USRIsKnownUrlForm(std::string_view url);

// The URL as the shortcut file carries it: "file:" URLs lose the slashes
// after "file:", and a "|" in the drive position becomes ":"
// (file:///C|/a.htm -> file:C:/a.htm). Other URLs are unchanged.
std::string USRShortcutUrl(std::string_view url);

// The shortcut file's text for a URL (no line break at its end).
std::string USRShortcutText(std::string_view url);

// The process's temporary shortcut, fixed by the first call: TmpUrl.Url in
// $XDG_RUNTIME_DIR, else in a folder of this user's own below the system's
// temporary directory (never a fixed name in a folder that every user may
// write, where another account could plant a link). "" when no such folder
// can be had.
const std::string& USRTemporaryShortcutPath();
// Writes `url` to the temporary shortcut; false with a system code.
bool USRWriteTemporaryShortcut(const std::string& url, long& error);
// Removes the temporary shortcut (at exit), when one was written.
void USRRemoveTemporaryShortcut();
