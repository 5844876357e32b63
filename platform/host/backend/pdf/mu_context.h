// SPDX-License-Identifier: AGPL-3.0-or-later
// A MuPDF context together with the log its messages go to.
#pragma once

#include "backend/document_backend.h"
#include "backend/pdf/mupdf_calls.h"

#include <string>

namespace vellora::pdf {

// MuPDF holds the log's address, so the pair never moves.
class MuContext {
public:
    MuContext() : ctx_(MuNewContext(&log_))
    {
        if (!ctx_)
            throw HostError(ErrorKind::Internal, "cannot start the PDF library (out of memory)");
    }
    ~MuContext()
    {
        MuDropContext(ctx_);
    }
    MuContext(const MuContext&) = delete;
    MuContext& operator=(const MuContext&) = delete;

    fz_context* get() const
    {
        return ctx_;
    }
    const MuLog& log() const
    {
        return log_;
    }
    void clearLog()
    {
        log_ = MuLog{};
    }

private:
    MuLog log_{};
    fz_context* ctx_;
};

// Bytes MuPDF made, copied out.
inline std::string CopiedAndDropped(const MuContext& mu, MuBytes& bytes)
{
    std::string text(reinterpret_cast<const char*>(bytes.data), bytes.size);
    MuDropBytes(mu.get(), &bytes);
    return text;
}

}  // namespace vellora::pdf
