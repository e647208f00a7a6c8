// Puts the sheets into a running desktop: the sheet prompter in front of the
// desktop's own, the Actions commands (Configure, New Personal, New Shared)
// and the drops on the actions toolbar.
#pragma once

#include <memory>

class USRPrompter;

namespace desk::ui {
class UIDesktopSession;
}

namespace desk::sheets {

class UISheetPrompter;

// The prompter to give the context: the sheets in front of `behind` (the
// caller keeps it). Call before the session is made.
std::unique_ptr<UISheetPrompter> makeSheetPrompter(USRPrompter& behind);
// Registers the Actions commands and the toolbar drops with `session`.
void attachSheetCommands(ui::UIDesktopSession& session, UISheetPrompter& prompter);

} // namespace desk::sheets
