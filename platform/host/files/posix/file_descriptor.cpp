// SPDX-License-Identifier: AGPL-3.0-or-later
#include "files/file_descriptor.h"

#include <unistd.h>

namespace vellora {

void FileDescriptor::reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

}  // namespace vellora
