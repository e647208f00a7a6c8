// Where a reader gets its bytes, and the small windows through which it reads
// them: a read outside the window refills it from the wanted offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace avd {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Up to n bytes from `offset`; fewer at the end of the source.
    virtual size_t readAt(uint64_t offset, uint8_t* out, size_t n) = 0;
};

// A file opened for reading; null when it cannot be opened.
std::unique_ptr<ByteSource> openFileSource(const std::string& path);
// A copy of bytes in memory (tests and the fuzz target).
std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size);

class ReadCache {
  public:
    ReadCache(ByteSource& source, size_t capacity) : source_(source), buffer_(capacity) {}
    // False when the source holds fewer than n bytes from `offset`.
    bool read(uint64_t offset, uint8_t* out, size_t n);

  private:
    ByteSource& source_;
    std::vector<uint8_t> buffer_;
    uint64_t base_ = 0;
    size_t valid_ = 0;
};

} // namespace avd
