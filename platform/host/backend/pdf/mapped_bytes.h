// The first bytes of a file, mapped for reading.
#pragma once

#include "core/host_error.h"

#include <sys/mman.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vellora::pdf {

class MappedBytes {
public:
    MappedBytes(int fd, int64_t length) : size_(size_t(length))
    {
        if (size_ == 0)
            return;
        void* at = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (at == MAP_FAILED)
            throw HostError(std::string("cannot read the file: ") + std::strerror(errno));
        data_ = static_cast<const char*>(at);
    }
    ~MappedBytes()
    {
        if (data_)
            munmap(const_cast<char*>(data_), size_);
    }
    MappedBytes(const MappedBytes&) = delete;
    MappedBytes& operator=(const MappedBytes&) = delete;
    std::string_view view() const
    {
        return std::string_view(data_ ? data_ : "", data_ ? size_ : 0);
    }

private:
    const char* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace vellora::pdf
