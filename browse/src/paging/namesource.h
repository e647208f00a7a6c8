// Where the browser's pages come from: one directory-assistance data query
// per page. The browser runs over the NMDA client (nmda/nmdasource.h); tests
// give it a directory of their own.
#pragma once

#include "qrdapi.h"

namespace browse {

class NameSource {
  public:
    virtual ~NameSource() = default;
    // Asks for the page that `context` names; the context comes back with the
    // new positions. Returns the query's status (0 on success).
    virtual QRDSTATUS query(QRD_NMDA_CONTEXT& context, QRD_NMDA_QUERY& query,
                            QRD_NMDA_RESULT& result) = 0;
};

} // namespace browse
