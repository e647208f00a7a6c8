// Directory assistance: the data query's paging over the storage's index
// of names (Storage::nmdaNames). Independent of sockets and sessions.
//
// A page is found from the context: the first or last names of the answer,
// the names after the current page's last key (next) or before its first
// key (previous), the names from a relative position (0-100), or from a
// typed text. Keys travel in the context, so that a page stays right when
// names come and go between two queries; every page is one walk of the
// index from a key, whatever the directory's size.
//
// Relative positions: a key's position is where it falls between the
// answer's first and last keys, read as numbers from the bytes after their
// common prefix; a position turns back into a key the same way. It needs no
// count of the answer (which would cost a walk of every name), and it keeps
// the order: a later name never has a lower position.
#pragma once

#include <cstdint>
#include <string>

#include "qrd/nmdawire.h"
#include "storage.h"

namespace nwd {

// The filter of a kind, a name pattern (Latin-1, '*' and '?'; "" = every
// name; missing parts stand for "*") and criteria: 0, or 1001 for a pattern
// that cannot match a name, 1068 for a kind or criterion out of range.
uint16_t nmdaFilter(uint16_t kind, const std::string& pattern,
                    const std::vector<qrd::nmdawire::Criterion>& criteria, NmdaFilter& out,
                    std::string& from, std::string& below);

// Position of `key` between `first` and `last` (0-100), and back.
uint16_t nmdaPosition(const std::string& key, const std::string& first, const std::string& last);
std::string nmdaKeyAt(uint16_t position, const std::string& first, const std::string& last);

// Answers a data query: 0 with the page and the updated context, or a
// status to refuse it with.
uint16_t nmdaServe(Storage& storage, const qrd::nmdawire::DataRequest& request,
                   qrd::nmdawire::DataReply& reply);

// The kind code of a row (users 0 ... nicknames 5).
uint16_t nmdaKindOf(const NmdaRow& row);

} // namespace nwd
