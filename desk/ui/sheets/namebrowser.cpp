#include "namebrowser.h"

#include <namebrowse.h>

namespace desk::sheets {
namespace {
constexpr long kMemberKinds = 35; // users, lists and nicknames
constexpr long kMemberMode = QRD_BROWSE_MODE_NO_VIEW | QRD_BROWSE_MODE_NO_FIND;
} // namespace

UINameBrowser::~UINameBrowser() = default;

bool UIDirectoryBrowser::pickNames(QWidget*, std::vector<std::string>& names, long& status) {
    int result = QRD_BROWSE_CANCEL;
    status =
        QrdDlgBrowseNmdaMultiSelect1(kMemberKinds, kMemberMode, nullptr, &result, &names, nullptr);
    return status == 0 && result == QRD_BROWSE_OK;
}

} // namespace desk::sheets
