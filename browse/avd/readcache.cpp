#include "readcache.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace avd {

namespace {

class FileSource : public ByteSource {
  public:
    explicit FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, uint8_t* out, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t got = ::pread(fd_, out + done, n - done, off_t(offset + done));
            if (got <= 0) break;
            done += size_t(got);
        }
        return done;
    }

  private:
    int fd_;
    uint64_t size_;
};

class MemorySource : public ByteSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
    uint64_t size() const override { return bytes_.size(); }
    size_t readAt(uint64_t offset, uint8_t* out, size_t n) override {
        if (offset >= bytes_.size()) return 0;
        size_t count = std::min<uint64_t>(n, bytes_.size() - offset);
        std::memcpy(out, bytes_.data() + offset, count);
        return count;
    }

  private:
    std::vector<uint8_t> bytes_;
};

} // namespace

std::unique_ptr<ByteSource> openFileSource(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, uint64_t(st.st_size));
}

std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

bool ReadCache::read(uint64_t offset, uint8_t* out, size_t n) {
    while (n > 0) {
        if (offset < base_ || offset >= base_ + valid_) {
            base_ = offset;
            valid_ = source_.readAt(offset, buffer_.data(), buffer_.size());
            if (valid_ == 0) return false;
        }
        size_t take = std::min<uint64_t>(n, base_ + valid_ - offset);
        std::memcpy(out, buffer_.data() + (offset - base_), take);
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}

} // namespace avd
