#include "nodes/usrnodefactory.h"

#include "nodes/usrnode.h"

USRNodeFactory::USRNodeFactory() {
    for (size_t i = 0; i < kUSRNodeKindCount; ++i)
        makers_[kUSRNodeKinds[i].objectType] = kUSRNodeKinds[i].make;
}

void USRNodeFactory::set(long objectType, USRNodeMaker make) {
    makers_[objectType] = make;
}

std::unique_ptr<USRNode> USRNodeFactory::make(USRContext& context, long objectType) const {
    auto it = makers_.find(objectType);
    if (it != makers_.end() && it->second) return it->second(context);
    return std::make_unique<USRNode>(context, objectType);
}

namespace {

template <class R> std::unique_ptr<DIRCommonInfo> fresh() {
    return std::make_unique<R>();
}
// nullptr when `r` is not of class R.
template <class R> std::unique_ptr<DIRCommonInfo> copy(const DIRCommonInfo& r) {
    const R* typed = dynamic_cast<const R*>(&r);
    return typed ? std::make_unique<R>(*typed) : nullptr;
}

struct RecordRow {
    long type;
    std::unique_ptr<DIRCommonInfo> (*make)();
    std::unique_ptr<DIRCommonInfo> (*clone)(const DIRCommonInfo&);
};

// Record classes by object type.
const RecordRow kRecords[] = {
    {DIR_TYPE_FOLDER, fresh<DIRFolder>, copy<DIRFolder>},
    {DIR_TYPE_DOCUMENT, fresh<DIRDocItem>, copy<DIRDocItem>},
    {DIR_TYPE_WEB, fresh<DIRWebItem>, copy<DIRWebItem>},
    {DIR_TYPE_GENERIC, fresh<DIRGenericItem>, copy<DIRGenericItem>},
    {DIR_TYPE_ACTION, fresh<DIRAction>, copy<DIRAction>},
};

const RecordRow* rowOf(long type) {
    for (const RecordRow& r : kRecords)
        if (r.type == type) return &r;
    return nullptr;
}

} // namespace

std::unique_ptr<DIRCommonInfo> USRNewRecord(long objectType) {
    const RecordRow* row = rowOf(objectType);
    std::unique_ptr<DIRCommonInfo> r = row ? row->make() : std::make_unique<DIRCommonInfo>();
    r->base.objectType = objectType;
    return r;
}

std::unique_ptr<DIRCommonInfo> USRCloneRecord(const DIRCommonInfo& record) {
    const RecordRow* row = rowOf(record.base.objectType);
    std::unique_ptr<DIRCommonInfo> r = row ? row->clone(record) : nullptr;
    return r ? std::move(r) : std::make_unique<DIRCommonInfo>(record);
}
