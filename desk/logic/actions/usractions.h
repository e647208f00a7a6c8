// USRActions: the user's action library and toolbar in memory. The action
// nodes live in the folder registry; this class keeps their order in the
// library and on the toolbar, gives the toolbar's actions their command ids,
// runs actions with the stale-action rule, and reports a failed run.
//
// Main thread only. Its lists point into the folder registry: empty them
// (clear) before the registry is emptied at exit.
#pragma once

#include <string>
#include <vector>

#include "actions/usractionnode.h"

class USRFolderNode;
class USRItemNode;
class USRNotifier;

class USRActions {
  public:
    static constexpr long kFirstCommandId = 1000;
    static constexpr long kLastCommandId = 2999;

    explicit USRActions(USRContext& context);

    bool loadToolbar(long& error);
    bool loadLibrary(long& error);
    const std::vector<USRActionNode*>& toolbar() const { return toolbar_; }
    const std::vector<USRActionNode*>& library() const { return library_; }
    // The toolbar's action with command id `id`; null when none.
    USRActionNode* findByCommandId(long id) const;
    // Library actions that apply to a node of `objectType`, in library order.
    std::vector<USRActionNode*> actionsFor(long objectType) const;
    void clear();

    // Runs `action` on `item` (none: alone). An action found stale is
    // dropped from both lists and from the folder registry (and deleted).
    bool run(USRActionNode* action, USRNode* item, long& error);
    // Tells the person why a run failed: 5012 and a toolbar reload when the
    // action is gone (36, 117, 121), the system's text and 5023 for codes
    // below 33, the error text otherwise. True when the toolbar was reloaded.
    bool reportRunFailure(long error);

    // A toolbar command (1000..2999) on `item` (none: the action alone).
    // The item is read again first: a failed read is shown and nothing
    // runs; an item that vanished (36) is also taken out of `current` when
    // the person may change it (hint 14 with the folder). A failed run is
    // reported (reportRunFailure).
    bool runCommand(long commandId, USRNode* item, USRFolderNode* current, bool mayChangeCurrent,
                    USRNotifier* notifier);

    // "Do Action": the Select Action dialog for `item`; the standard entry
    // opens the item with its default program, any other entry runs that
    // action. Failures are reported (reportRunFailure). False on Cancel or
    // failure.
    bool doAction(USRItemNode& item);

    struct Definition {
        std::string name;
        std::string description;
        std::string commandLine;
        std::string startDirectory;
        bool shared = true;
        bool needsItem = false;
        long showMode = usraction::kShowNormal;
        long iconIndex = -1;
        long capabilities = 0;
        bool toolbarFlag = false;
    };
    // Creates the action's record, registers it and adds it to the library
    // (the record is destroyed again when that fails). 52 without a name or
    // a command line.
    USRActionNode* create(const Definition& definition, long& error);
    // A definition page's checks of a shared action: its start directory
    // must be shared (5018, refused); a program that is not shared is kept
    // only when the person says so (5019).
    bool checkSharedDefinition(const Definition& definition);
    // Removes the action from the toolbar and the library, destroys its
    // record and drops the node.
    bool remove(USRActionNode* action, long& error);
    bool addToToolbar(USRActionNode* action, long& error);
    // Stores the toolbar in the order the person arranged (the actions of
    // the toolbar, each once) and numbers it again.
    bool setToolbarOrder(const std::vector<USRActionNode*>& order, long& error);

    // Puts the library's actions marked for the toolbar on it; only when
    // none was added, creates the standard actions. The number of actions
    // added (the frame reloads its action bar when it is not 0).
    long installStandard(long& error);

  private:
    bool load(bool toolbar, long& error);
    void drop(USRActionNode* action);
    void numberToolbar();

    USRContext& context_;
    std::vector<USRActionNode*> toolbar_;
    std::vector<USRActionNode*> library_;
};
