#include "files/atomic_file.h"

#include "core/host_error.h"
#include "files/replacement_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vellora {

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    ReplacementFile file(path);
    std::FILE* f = std::fopen(file.tempPath().c_str(), "wb");
    if (f == nullptr) throw HostError(path + ": cannot write: " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int writeErrno = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        writeErrno = errno;
    }
    if (!ok) throw HostError(path + ": cannot write: " + std::strerror(writeErrno));
    file.commit();
}

}  // namespace vellora
