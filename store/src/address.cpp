#include "namedir/address.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "namedir/errors.h"
#include "namedir/qrdapi_wrapper.h"

DIRTime DIRCurrentTime() {
    return static_cast<DIRTime>(std::time(nullptr));
}

DIRDirectoryAddress::~DIRDirectoryAddress() = default;

DIRDirectoryAddress* DIRDirectoryAddress::clone() const {
    return new DIRDirectoryAddress(*this);
}

bool DIRDirectoryAddress::getUniqueKey(std::string& key, long& error) const {
    if (uniqueKey.empty()) {
        error = DIR_KEY_NOT_FOUND;
        return false;
    }
    key = uniqueKey;
    return true;
}

bool DIRDirectoryAddress::setUniqueKey(const std::string& key, long& error) {
    if (key.empty()) {
        error = DIR_INVALID_KEY;
        return false;
    }
    uniqueKey = key;
    return true;
}

std::string DIRMakeUniqueKey(const std::string& name, long category, long number, DIRTime time) {
    char tail[80];
    std::snprintf(tail, sizeof tail, "<%ld:%ld:%lx>", category, number,
                  static_cast<unsigned long>(time));
    return name + tail;
}

DIRNmDirectoryAddress::DIRNmDirectoryAddress(const std::string& name, long category, long number,
                                             DIRTime time) {
    setNMDirAddress(name, category, number, time);
}

DIRNmDirectoryAddress::DIRNmDirectoryAddress(const DIRNmDirectoryAddress& other)
    : DIRDirectoryAddress(other), nmName(other.nmName), attrCategory(other.attrCategory),
      attrNumber(other.attrNumber), nmClass(other.nmClass), nmTime(other.nmTime) {
    createUniqueKey();
}

DIRNmDirectoryAddress& DIRNmDirectoryAddress::operator=(const DIRNmDirectoryAddress& other) {
    DIRDirectoryAddress::operator=(other);
    nmName = other.nmName;
    attrCategory = other.attrCategory;
    attrNumber = other.attrNumber;
    nmClass = other.nmClass;
    nmTime = other.nmTime;
    createUniqueKey();
    return *this;
}

DIRDirectoryAddress* DIRNmDirectoryAddress::clone() const {
    return new DIRNmDirectoryAddress(*this);
}

void DIRNmDirectoryAddress::setNMDirAddress(const std::string& name, long category, long number,
                                            DIRTime time) {
    nmName = name;
    attrCategory = category;
    attrNumber = number;
    nmTime = time;
    createUniqueKey();
}

bool DIRNmDirectoryAddress::getNMName(std::string& name, long& error) const {
    if (nmName.empty()) {
        error = DIR_ADDRESS_UNSET;
        return false;
    }
    name = nmName;
    return true;
}

bool DIRNmDirectoryAddress::getNMAttrNumber(long& category, long& number, long& error) const {
    if (attrCategory == -1 || attrNumber == -1) {
        error = DIR_ADDRESS_UNSET;
        return false;
    }
    category = attrCategory;
    number = attrNumber;
    return true;
}

bool DIRNmDirectoryAddress::getNMClass(long& cls, long& error) const {
    if (nmClass == DIR_NMCLASS_UNSET) {
        error = DIR_ADDRESS_UNSET;
        return false;
    }
    cls = nmClass;
    return true;
}

bool DIRNmDirectoryAddress::getNMTime(DIRTime& time) const {
    time = nmTime;
    return true;
}

void DIRNmDirectoryAddress::createUniqueKey() {
    if (nmName.empty()) return;
    uniqueKey = DIRMakeUniqueKey(nmName, attrCategory, attrNumber, nmTime);
}

namespace {

// Buffer for splitting a name without asking the directory.
constexpr uint16_t kBreakBufferLength = 512;

bool resolveFully(std::string& name, long& nmClass) {
    bool wildcards = false;
    if (CQrdApi::validateName(name, wildcards) != 0 || wildcards) return false;
    std::string canonical = name;
    if (CQrdApi::formatName(canonical) != 0) return false;
    long type = 0;
    if (CQrdApi::getType(canonical, type) != 0) return false;
    if (type != DIR_NMCLASS_USER && type != DIR_NMCLASS_GROUP) return false;
    nmClass = type;
    name = canonical;
    return true;
}

} // namespace

bool DIRNmDirectoryAddress::validateNMDirAddress(long& error, bool nameOnly) {
    if (nameOnly) {
        std::vector<std::string> parts;
        uint16_t count = 3;
        if (CQrdApi::breakName(nmName, parts, count, kBreakBufferLength) != 0) count = 0;
        nmClass = count == 2 ? DIR_NMCLASS_GROUP : DIR_NMCLASS_USER;
    } else if (!resolveFully(nmName, nmClass)) {
        error = DIR_NAME_UNRESOLVED;
        return false;
    }
    createUniqueKey();
    return true;
}
