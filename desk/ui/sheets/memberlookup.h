// What the members and subscribers pages ask about a name, answered by the
// desktop's logic: the entry kind of a typed name (the directory's canonical
// form), whether a user uses the desktop (has a business card), and the
// card shown read-only.
#pragma once

#include <string>

class USRContext;

namespace desk::sheets {

// 1 user, 3 list, 5 group; -1 when the directory does not know the name.
// `name` becomes the directory's form of it.
long memberKind(USRContext& context, std::string& name);
// A user who has a business card.
bool isDesktopUser(USRContext& context, const std::string& name);
// Shows `name`'s business card read-only; false with the store's code in
// `error` when the user has none.
bool showBusinessCard(USRContext& context, const std::string& name, long& error);

} // namespace desk::sheets
