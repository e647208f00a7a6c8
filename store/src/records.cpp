#include "namedir/records.h"

// Out-of-line destructors give each record class one home for its type
// information, so dynamic_cast works across the library boundary.
DIRCommonInfo::~DIRCommonInfo() = default;
DIRFolder::~DIRFolder() = default;
DIRItem::~DIRItem() = default;
DIRWebItem::~DIRWebItem() = default;
DIRDocItem::~DIRDocItem() = default;
DIRGenericItem::~DIRGenericItem() = default;
DIRAction::~DIRAction() = default;
DIRUserBusinessCard::~DIRUserBusinessCard() = default;
DIRUserPreferences::~DIRUserPreferences() = default;
