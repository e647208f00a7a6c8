#include "memberlist.h"

#include <QVariantMap>
#include <algorithm>

#include "core/prompter.h"
#include "sheetstrings.h"

namespace desk::sheets {

UIMember UIMemberList::fromValue(const QVariant& v) {
    const QVariantMap m = v.toMap();
    UIMember out;
    out.name = m.value(QStringLiteral("name")).toString();
    out.role = m.value(QStringLiteral("role")).toInt();
    out.kind = m.value(QStringLiteral("kind")).toInt();
    out.mark = m.value(QStringLiteral("mark")).toBool();
    return out;
}

QVariantList UIMemberList::rights() const {
    QVariantList out;
    for (const UIMember& m : members_)
        out.push_back(QVariantMap{{QStringLiteral("name"), m.name},
                                  {QStringLiteral("role"), m.role},
                                  {QStringLiteral("kind"), m.kind},
                                  {QStringLiteral("mark"), m.mark}});
    return out;
}

int UIMemberList::moderators() const {
    return int(std::count_if(members_.begin(), members_.end(),
                             [](const UIMember& m) { return m.role == 3; }));
}

int UIMemberList::find(const QString& name) const {
    for (size_t i = 0; i < members_.size(); ++i)
        if (members_[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

bool UIMemberList::add(UIMember member) {
    if (find(member.name) >= 0) return false;
    if (member.role == 3) member.desktopUser = true;
    members_.push_back(std::move(member));
    changed_ = true;
    return true;
}

MemberEdit UIMemberList::mayLeaveModerators(int row, USRPrompter& prompter) const {
    const UIMember& m = at(row);
    if (moderators() <= 1) {
        prompter.showMessage(sheetString(kStrOneModerator).toStdString());
        return MemberEdit::LastModerator;
    }
    if (!prompter.askYesNo(sheetFormat(kStrRemoveModerator, {m.name}).toStdString()))
        return MemberEdit::Declined;
    return MemberEdit::Done;
}

MemberEdit UIMemberList::setRole(int row, int role, USRPrompter& prompter) {
    if (row < 0 || row >= size()) return MemberEdit::Unchanged;
    UIMember& m = members_[size_t(row)];
    if (m.role == role) return MemberEdit::Unchanged;
    if (role == 3 && !m.desktopUser) return MemberEdit::Unchanged;
    if (m.role == 3) {
        const MemberEdit asked = mayLeaveModerators(row, prompter);
        if (asked != MemberEdit::Done) return asked;
    }
    m.role = role;
    changed_ = true;
    return MemberEdit::Done;
}

void UIMemberList::remove(std::vector<int> rows, USRPrompter& prompter) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= size()) continue;
        if (at(row).role == 3 && mayLeaveModerators(row, prompter) != MemberEdit::Done) continue;
        members_.erase(members_.begin() + row);
        changed_ = true;
    }
}

void UIMemberList::sort(int column, bool reverse) {
    auto before = [column](const UIMember& a, const UIMember& b) {
        if (column == 0) return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        const int role = roleOfColumn(column);
        return (a.role == role) > (b.role == role);
    };
    std::stable_sort(members_.begin(), members_.end(), before);
    if (reverse) std::reverse(members_.begin(), members_.end());
}

} // namespace desk::sheets
