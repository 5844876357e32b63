#include "core/atomic_file.h"

#include "backend/document_backend.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace vellora {

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temp = path + ".part" + std::to_string(getpid());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) throw HostError(path + ": cannot write: " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int writeErrno = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        if (ok) writeErrno = errno;
        std::remove(temp.c_str());
        throw HostError(path + ": cannot write: " + std::strerror(writeErrno));
    }
}

}  // namespace vellora
