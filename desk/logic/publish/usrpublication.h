// USRPublication: the logic of the publish window. It offers the folder's
// access rights entries, expands the chosen ones into recipients, and
// publishes the folder to each on a worker thread of its own (with its own
// session), while the window's timer collects the results. The pending
// recipients, results, counters and state are shared with the worker under
// one lock, which both sides wait for at most 100 ms.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "nodes/usrnodedata.h"

class USRFolderNode;

class USRPublication {
  public:
    enum State : int { Idle = 0, Running = 1, Finished = 2, CancelRequested = 3 };

    // One row of the results list; `member` is the list or group the
    // recipient came through, empty for a direct entry.
    struct Row {
        std::string status;
        std::string recipient;
        std::string member;
    };
    // What one timer tick found.
    struct Tick {
        std::vector<Row> rows; // results not shown before
        bool done = false;     // the publication ended and every row is shown
    };
    // Publishes the folder to one recipient (tests replace it).
    using Publisher = std::function<bool(const std::string& recipient, long& error)>;

    // Takes the folder's busy lock; a taken lock shows string 5006 with the
    // folder's name and opens nothing.
    static std::unique_ptr<USRPublication> open(USRFolderNode& folder);
    // Closing: a running publication is cancelled and waited for; then the
    // folder's lock is released.
    ~USRPublication();

    USRFolderNode& folder() const { return folder_; }
    // The "Publish to" rows: the folder's access rights entries.
    const std::vector<USRAccessEntry>& entries() const;
    std::string caption() const; // "Publish Folder: ", "Publishing... ", "Done "

    // Publish pressed while idle: marks the selected rows, collects the
    // recipients and starts the worker. False when nothing started (no
    // recipient: a beep; a failure: its text).
    bool start(const std::vector<int>& selectedRows);
    // Publish pressed while running.
    void cancel();
    // The 300 ms timer.
    Tick tick();

    State state() const;
    long total() const;
    long errors() const;
    long notUsers() const;
    // Blocks until the worker has ended (tests); false on timeout.
    bool waitWorker(int timeoutMs);

    // Replaces how one recipient is published to; the worker then opens no
    // session of its own unless `needsSession`.
    void setPublisher(Publisher publisher, bool needsSession = false) {
        publisher_ = std::move(publisher);
        needsSession_ = needsSession;
    }

  private:
    explicit USRPublication(USRFolderNode& folder);
    void runWorker();
    bool publishNext();

    USRFolderNode& folder_;
    Publisher publisher_;
    bool needsSession_ = true;
    std::thread worker_;
    std::string caption_;
    std::vector<Row> shown_; // main thread only

    mutable std::timed_mutex lock_;
    // guarded by lock_
    std::map<std::string, std::string> pending_;
    std::map<std::string, std::string>::iterator next_;
    std::vector<Row> results_; // in the order they were published
    long total_ = 0, errors_ = 0, notUsers_ = 0;
    bool errorsOccurred_ = false;
    State state_ = Idle;
};
