// The name a new document item takes from its file.
#pragma once

#include <string>

// The part of `path` after its last separator, cut to 50 characters.
std::string USRDocumentNameFor(const std::string& path);
