// What the browser window needs from the network: the pages of names, the
// connected server's name, and the attributes of one name. The real backend
// talks to the directory-assistance service (nmdabackend.cpp); tests and the
// automation service's pick mode put their own in its place.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "namesource.h"

namespace browse {

struct AttributeValue {
    uint16_t status = NMDA_ATTR_STAT_NORMAL; // NMDA_ATTR_STAT_*
    uint16_t type = 0;                       // ATTR_* of qrdapi.h
    std::string text;                        // the value for people
};

class DirectoryBackend {
  public:
    virtual ~DirectoryBackend() = default;
    virtual NameSource& names() = 0;
    // The server whose service answers, for "Currently connected ...".
    virtual std::string serverName() = 0;
    // One attribute of a name through the directory-assistance service.
    virtual QRDSTATUS attribute(const std::string& name, AttrName attr, AttributeValue& out) = 0;
    // The attributes of a name that hold data (25 asked for per call).
    virtual QRDSTATUS scan(const std::string& name, std::vector<AttrName>& out) = 0;
};

using BackendFactory = std::function<QRDSTATUS(std::unique_ptr<DirectoryBackend>& out)>;

// Connects to the directory-assistance service as the logged-in user.
QRDSTATUS connectNmda(std::unique_ptr<DirectoryBackend>& out);

// The factory the browse dialogs use: connectNmda in libnamebrowse.so;
// without one the dialogs answer 157 (service not available). Set it on the
// thread that runs the dialogs, before they run.
BackendFactory& backendFactory();

} // namespace browse
