#include "memberlookup.h"

#include "core/context.h"
#include "core/membership.h"
#include "people/usrpeoplenode.h"

namespace desk::sheets {

long memberKind(USRContext& context, std::string& name) {
    return context.membership().entryKind(name);
}

bool isDesktopUser(USRContext& context, const std::string& name) {
    std::string canonical = name;
    if (memberKind(context, canonical) != 1) return false;
    long e = 0;
    return USRPeopleNode::findCard(context, canonical, e) != nullptr;
}

bool showBusinessCard(USRContext& context, const std::string& name, long& error) {
    USRPeopleNode* card = USRPeopleNode::findCard(context, name, error);
    if (!card) return false;
    card->edit(false, false);
    error = 0;
    return true;
}

} // namespace desk::sheets
