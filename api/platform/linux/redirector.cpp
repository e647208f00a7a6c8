#include "redirector.h"

#include <memory>
#include <mutex>
#include <new>

#include "base/locks.h"
#include "globalstore.h"
#include "qrd/config.h"

namespace qrd::fs {

namespace {

constexpr uint8_t kCodeDriveMapping = QRD_FS_DRIVE_MAPPING;
constexpr uint8_t kCodeGet = QRD_FS_GLOBALVAR_GET;
constexpr uint8_t kCodeSet = QRD_FS_GLOBALVAR_SET;

uint8_t* at(QRD_FS_REQ& r, size_t offset) {
    return reinterpret_cast<uint8_t*>(&r) + offset;
}
const uint8_t* at(const QRD_FS_REQ& r, size_t offset) {
    return reinterpret_cast<const uint8_t*>(&r) + offset;
}
void put16(QRD_FS_REQ& r, size_t offset, uint16_t v) {
    std::memcpy(at(r, offset), &v, 2);
}
uint16_t get16(const QRD_FS_REQ& r, size_t offset) {
    uint16_t v;
    std::memcpy(&v, at(r, offset), 2);
    return v;
}
void putPtr(QRD_FS_REQ& r, size_t offset, const void* p) {
    std::memcpy(at(r, offset), &p, sizeof p);
}
void* getPtr(const QRD_FS_REQ& r, size_t offset) {
    void* p;
    std::memcpy(&p, at(r, offset), sizeof p);
    return p;
}
static_assert(kBufferAt + sizeof(void*) <= sizeof(QRD_FS_REQ));
static_assert(kRootPtrAt + sizeof(void*) <= sizeof(QRD_FS_REQ));

struct Device {
    std::vector<DriveMapping> drives;
};

// The open device. Guarded by locks::global(); requests take their own
// reference so that a close during a request does not pull the table away.
// Heap storage: the process detach closes it after static destructors ran.
constinit std::shared_ptr<const Device>* g_device = nullptr;

std::shared_ptr<const Device> openDevice() {
    std::lock_guard<std::mutex> guard(locks::global());
    if (!g_device) {
        auto* dev = new (std::nothrow) Device;
        if (!dev) return nullptr;
        dev->drives = readDriveMappings(loadQordaIni());
        g_device = new (std::nothrow) std::shared_ptr<const Device>(dev);
        if (!g_device) {
            delete dev;
            return nullptr;
        }
    }
    return *g_device;
}

QRDSTATUS answerDriveMapping(const Device& dev, QRD_FS_REQ& req) {
    uint16_t drive = get16(req, kDriveAt);
    if (drive < 1 || drive > 26) return QRDERR_BAD_ARG;
    for (const DriveMapping& m : dev.drives) {
        if (m.drive != drive) continue;
        std::memset(at(req, kServiceAt), 0, kServiceLen);
        std::memcpy(at(req, kServiceAt), m.service.data(), m.service.size());
        if (auto* root = static_cast<char*>(getPtr(req, kRootPtrAt))) {
            std::memcpy(root, m.root.c_str(), m.root.size() + 1);
        }
        return QRD_OK;
    }
    return kNotMapped;
}

} // namespace

QRD_FS_REQ globalVarRequest(uint8_t code, uint16_t id, uint16_t length, const void* buffer) {
    QRD_FS_REQ r{};
    r.function = kFunctionClient;
    r.subfunction = kSubfunctionClient;
    *at(r, kCodeAt) = code;
    put16(r, kIdAt, id);
    put16(r, kLengthAt, length);
    putPtr(r, kBufferAt, buffer);
    return r;
}

QRD_FS_REQ driveMappingRequest(uint16_t drive, char* rootBuffer) {
    QRD_FS_REQ r{};
    r.function = kFunctionClient;
    r.subfunction = kSubfunctionClient;
    *at(r, kCodeAt) = kCodeDriveMapping;
    put16(r, kDriveAt, drive);
    putPtr(r, kRootPtrAt, rootBuffer);
    return r;
}

std::string mappedService(const QRD_FS_REQ& answered) {
    const char* p = reinterpret_cast<const char*>(at(answered, kServiceAt));
    return std::string(p, strnlen(p, kServiceLen));
}

bool deviceIsOpen() {
    std::lock_guard<std::mutex> guard(locks::global());
    return g_device != nullptr;
}

void deviceClose() {
    std::lock_guard<std::mutex> guard(locks::global());
    delete g_device;
    g_device = nullptr;
}

} // namespace qrd::fs

extern "C" QRDAPI QRDSTATUS QrdCallFileSystem(QRD_FS_REQ* request) {
    using namespace qrd::fs;
    if (!request) return QRDERR_BAD_ARG;
    std::shared_ptr<const Device> dev = openDevice();
    if (!dev) return QRDERR_NO_DEVICE;
    QRD_FS_REQ& req = *request;
    if (req.function != kFunctionClient || req.subfunction != kSubfunctionClient)
        return QRDERR_BAD_ARG;
    switch (*at(req, kCodeAt)) {
    case kCodeGet:
        return qrd::gv::get(get16(req, kIdAt), getPtr(req, kBufferAt), get16(req, kLengthAt));
    case kCodeSet:
        return qrd::gv::set(get16(req, kIdAt), getPtr(req, kBufferAt), get16(req, kLengthAt));
    case kCodeDriveMapping:
        return answerDriveMapping(*dev, req);
    default:
        return QRDERR_BAD_ARG;
    }
}
