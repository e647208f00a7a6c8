#include "sheetcommands.h"

#include <QToolBar>

#include "actiondrops.h"
#include "actions/usractions.h"
#include "actionssheet.h"
#include "commandids.h"
#include "core/context.h"
#include "createactiondialog.h"
#include "desktopsession.h"
#include "document/uidesktop.h"
#include "mainframe.h"
#include "sheetprompter.h"

namespace desk::sheets {

std::unique_ptr<UISheetPrompter> makeSheetPrompter(USRPrompter& behind) {
    return std::make_unique<UISheetPrompter>(USRContext::process(), behind);
}

void attachSheetCommands(ui::UIDesktopSession& session, UISheetPrompter& prompter) {
    ui::UIDesktopFrame& frame = session.frame();
    prompter.setWindow(&frame);
    USRActions& actions = session.actions();
    auto refresh = [&frame] { frame.refreshActionsBar(); };
    auto create = [&, refresh](bool shared, const QString& program) {
        if (runCreateAction(actions, prompter, shared, false, program, &frame)) refresh();
    };
    frame.setHandler(ui::kCmdConfigureActions,
                     [&, refresh] { runActionsSheet(actions, prompter, refresh, &frame); });
    frame.setHandler(ui::kCmdNewPersonalAction, [create] { create(false, {}); });
    frame.setHandler(ui::kCmdNewSharedAction, [create] { create(true, {}); });
    if (auto* bar = frame.findChild<QToolBar*>(QStringLiteral("155"))) {
        new UIActionDrops(
            bar, [create](const QString& program) { create(false, program); },
            [&session, &actions](int id) {
                USRActionNode* action = actions.findByCommandId(id);
                if (!action) return;
                for (USRNode* node : session.document().selection()) {
                    long e = 0;
                    if (!actions.run(action, node, e)) {
                        actions.reportRunFailure(e);
                        break;
                    }
                }
            });
    }
}

} // namespace desk::sheets
