// The folder part of store_bench: a folder of many documents through
// DIRDirectory, as the desktop uses it.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// Creates `documents` documents and a folder that lists them, then times
// reading the folder in full, reading it again unchanged (the modification
// date alone), and adding and removing one item. Prints one row per
// operation: exchanges and time per operation beside that many single
// exchanges (`readUs`, `writeUs`: their p50 in the same run). False with a
// message when the store fails.
bool benchFolder(const std::string& user, size_t documents, double readUs, double writeUs,
                 std::string& error);

} // namespace bench
