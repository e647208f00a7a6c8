#include "treeimages.h"

#include "art.h"

namespace desk::ui {

int insertedImage(bool shared) {
    return (shared ? kTreeShared : kTreePersonal) + 2;
}

int swappedImage(int image) {
    if (image % 2 != 0) return image;
    return image % 4 == 0 ? image + 2 : image - 2;
}

int moderatorImage(int image) {
    if (image == 0 || image == 4) return kTreeModerated;
    if (image == 2 || image == 6) return kTreeModerated + 2;
    return image;
}

QIcon treeIcon(int image) {
    const int group = image - image % 4;
    switch (group) {
    case kTreeShared:
        return ownIcon(Art::SharedFolder);
    case kTreeModerated:
        return ownIcon(Art::ModeratedFolder);
    case kTreeRoot:
        return ownIcon(Art::DesktopRoot);
    case kTreeInbox:
        return ownIcon(Art::Inbox);
    default:
        return ownIcon(Art::PersonalFolder);
    }
}

QIcon tabIcon(int image) {
    switch (image) {
    case kTabDesktop:
        return ownIcon(Art::DesktopRoot);
    case kTabInboxFull:
        return ownIcon(Art::InboxFull);
    default:
        return ownIcon(Art::Inbox);
    }
}

} // namespace desk::ui
