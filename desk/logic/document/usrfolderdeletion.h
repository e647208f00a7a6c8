// USRFolderDeletion: the deletion of one folder tree, without its window.
// build() walks the tree into a list (the folder first, each subfolder
// before its contents); decide() chooses per entry whether the object goes
// or only its reference; step() then processes one entry at a time from the
// last, so that whatever a cancel leaves behind is still a whole tree.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/prompter.h"

class USRContext;
class USRFolderNode;
class USRNode;

class USRFolderDeletion {
  public:
    struct Entry {
        std::string path;        // names from the deleted folder down, joined by "\"
        bool deleteSelf = false; // else only the reference from `parent` goes
        long count = 1;          // references found inside the tree
        USRNode* node = nullptr;
        USRFolderNode* parent = nullptr; // the holder for entry 0
    };

    // `folder` is deleted out of `holder`; `everyone`: the person chose to
    // delete it for every subscriber.
    // `allSubfolders`: moderated shared subfolders go the same way unasked.
    USRFolderDeletion(USRContext& context, USRFolderNode& folder, USRFolderNode* holder,
                      bool everyone, bool allSubfolders = false);

    bool build(long& error);
    // False when the person cancelled a shared folder's question.
    bool decide();
    const std::vector<Entry>& entries() const { return entries_; }
    size_t remaining() const { return next_; }
    // Processes the last entry not yet done; false with the error on a
    // failure (the deletion should then end).
    bool step(long& error);
    // Re-reads the kept folders not yet processed, so views show the truth.
    void cancel();
    // build, decide and every step at once; a failure is shown. OK when
    // the whole list was processed.
    USRReply runToEnd();

  private:
    void walk(USRFolderNode& folder, const std::string& path, long& error);
    long entryOf(const USRNode* node) const;

    USRContext& context_;
    bool everyone_, allSubfolders_;
    std::vector<Entry> entries_;
    std::map<const USRNode*, size_t> index_; // entry of a node, while building
    size_t next_ = 0;                        // entries [0, next_) are still to be processed
};
