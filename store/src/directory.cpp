#include "namedir/directory.h"

#include <climits>
#include <cstdio>

#include "namedir/codecs.h"
#include "namedir/errors.h"
#include "namedir/layout.h"

namespace {

// The values of a key's tail "<%ld:%ld:%lx>", which must be all of it.
bool parseKeyTail(const std::string& tail, long& category, long& number, DIRTime& time) {
    unsigned long t = 0;
    int used = -1;
    if (std::sscanf(tail.c_str(), "<%ld:%ld:%lx>%n", &category, &number, &t, &used) != 3 ||
        used != int(tail.size()))
        return false;
    if (category < INT32_MIN || category > INT32_MAX || number < INT32_MIN || number > INT32_MAX ||
        t > UINT32_MAX)
        return false;
    time = DIRTime(t);
    return true;
}

} // namespace

DIRDirectory::DIRDirectory(namedir::AttrStore& store) : store_(store) {}

DIRDirectory::~DIRDirectory() = default;

void DIRDirectory::initBaseInfo(DIRBaseInfo& base) {
    base = DIRBaseInfo{};
}

void DIRDirectory::initBaseInfo(DIRCommonInfo& record) {
    initBaseInfo(record.base);
    record.creator.clear();
    record.name.clear();
    record.extraText.clear();
    record.longText.clear();
    record.description.clear();
}

bool DIRDirectory::getDirectoryAddress(const std::string& key, DIRAddressPtr& address,
                                       long& objectType, long& error) {
    size_t open = key.find('<');
    long category = 0, number = 0;
    DIRTime time = 0;
    if (open == std::string::npos || !parseKeyTail(key.substr(open), category, number, time)) {
        error = DIR_INVALID_KEY;
        return false;
    }
    auto a = std::make_unique<DIRNmDirectoryAddress>(key.substr(0, open), category, number, time);
    if (!a->validateNMDirAddress(error, false)) return false;
    // As when an object is opened: a missing or unreadable (access denied)
    // main record is an object of type 0.
    namedir::AttrStream main(a->nmName, uint32_t(category), uint32_t(number));
    DIRCommonInfo record;
    long e = main.read(store_);
    if (e == DIR_ATTR_MISSING || e == DIR_ACCESS_DENIED) {
        namedir::setMissingMainRecord(record);
    } else if (e || (e = namedir::decodeMainRecord(main, record))) {
        error = e;
        return false;
    }
    objectType = record.base.objectType;
    address.reset(a.release());
    return true;
}
