// UIMemberList: the folder's members as the members page edits them, with
// the rules that keep a shared folder usable: names are unique, there is
// always at least one moderator, only desktop users moderate, and demoting
// or removing a moderator is confirmed. Questions go through the prompter so
// that the rules run the same with a person and with a script.
#pragma once

#include <QString>
#include <QVariantList>
#include <vector>

class USRPrompter;

namespace desk::sheets {

struct UIMember {
    QString name;
    int role = 1;      // 3 moderator, 2 contributor, 1 reader
    int kind = 0;      // 1 user, 3 list, 5 group (0: not settled)
    bool mark = false; // not yet published to
    bool desktopUser = false;
};

// What a role change or a removal did.
enum class MemberEdit { Done, Unchanged, LastModerator, Declined };

class UIMemberList {
  public:
    // From the logic's "rights" values; `isDesktopUser` answers for members
    // who are not moderators.
    template <class IsDesktopUser>
    void load(const QVariantList& rights, IsDesktopUser isDesktopUser) {
        members_.clear();
        for (const QVariant& v : rights) {
            UIMember m = fromValue(v);
            m.desktopUser = m.role == 3 || isDesktopUser(m);
            members_.push_back(m);
        }
        changed_ = false;
    }
    QVariantList rights() const;

    int size() const { return int(members_.size()); }
    const UIMember& at(int row) const { return members_.at(size_t(row)); }
    int moderators() const;
    bool changed() const { return changed_; }
    void setChanged() { changed_ = true; }
    int find(const QString& name) const; // -1 when absent (case ignored)

    // Appends `member` unless the name is there already (false).
    bool add(UIMember member);
    // Sets `row`'s role under the rules; asks string 181 before demoting one
    // of several moderators.
    MemberEdit setRole(int row, int role, USRPrompter& prompter);
    // Removes `rows` from the last to the first, each moderator under the
    // same rules; the rows kept are those refused.
    void remove(std::vector<int> rows, USRPrompter& prompter);
    // Sorts by column 0 (names) or by a role column (1..3: its holders first).
    void sort(int column, bool reverse);

  private:
    static UIMember fromValue(const QVariant& v);
    MemberEdit mayLeaveModerators(int row, USRPrompter& prompter) const;

    std::vector<UIMember> members_;
    bool changed_ = false;
};

// The role a column stands for: column 1 moderator (3), 2 contributor (2),
// 3 reader (1).
inline int roleOfColumn(int column) {
    return 4 - column;
}

} // namespace desk::sheets
