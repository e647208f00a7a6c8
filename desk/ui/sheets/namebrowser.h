// The seam through which the members page picks names from the directory:
// the browser library's multi-select dialog in the program, a list of the
// test's own in tests.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace desk::sheets {

class UINameBrowser {
  public:
    virtual ~UINameBrowser();
    // The names chosen; false on Cancel or failure (`status` the browser's).
    virtual bool pickNames(QWidget* parent, std::vector<std::string>& names, long& status) = 0;
};

// The directory browser (users, lists, groups; no attribute buttons).
class UIDirectoryBrowser : public UINameBrowser {
  public:
    bool pickNames(QWidget* parent, std::vector<std::string>& names, long& status) override;
};

} // namespace desk::sheets
