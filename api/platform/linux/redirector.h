// The file-system device: the stand-in for the network client's redirector.
//
// QrdCallFileSystem takes the 114-byte request record in and out in place.
// Fields past the 4-byte header are in host byte order (the record never
// leaves the process); the pointers are 8 bytes and may sit misaligned, so
// they are only ever moved with memcpy.
//
// Answered requests (function 0, subfunction 4, code at byte 4):
//   19 / 20  get / set a global variable: u16 id at 6, u16 length at 8,
//            buffer pointer at 10; answered by the global-variable store.
//   18       drive mapping: u16 drive (A = 1 ... Z = 26) at 6; the file
//            service's name comes back in bytes 8-71 (NUL-padded), the root
//            (share path) into the QRD_ROOT_LEN-byte buffer whose pointer is
//            at 72 (a null pointer skips it).
// Anything else gives QRDERR_BAD_ARG; an unmapped drive kNotMapped.
//
// The device opens on first use (reading the mapping table of QORDA.INI) and
// closes at QrdDone and the process detach; a mapping table edited meanwhile
// is seen after the next open.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qrd/drivemappings.h"
#include "qrd/ini.h"
#include "qrdapi.h"

namespace qrd::fs {

// Layout of the request record (offsets from its start).
constexpr size_t kCodeAt = 4;
constexpr size_t kIdAt = 6;
constexpr size_t kLengthAt = 8;
constexpr size_t kBufferAt = 10;
constexpr size_t kDriveAt = 6;
constexpr size_t kServiceAt = 8;
constexpr size_t kServiceLen = 72 - 8; // the name with its NUL
constexpr size_t kRootPtrAt = 72;

constexpr uint16_t kFunctionClient = 0;
constexpr uint16_t kSubfunctionClient = 4;

// The drive is not in the mapping table (the system's "invalid drive").
constexpr QRDSTATUS kNotMapped = 15;

// The mapping table of QORDA.INI, as far as its entries fit the record.
using DriveMapping = qrd::DriveMapping;
inline std::vector<DriveMapping> readDriveMappings(const IniFile& ini) {
    return qrd::readDriveMappings(ini, kServiceLen, QRD_ROOT_LEN);
}

// Builds a request record.
QRD_FS_REQ globalVarRequest(uint8_t code, uint16_t id, uint16_t length, const void* buffer);
QRD_FS_REQ driveMappingRequest(uint16_t drive, char* rootBuffer);

// The service name of an answered drive-mapping request.
std::string mappedService(const QRD_FS_REQ& answered);

bool deviceIsOpen();
// Closes the device; the next request opens it again.
void deviceClose();

} // namespace qrd::fs
