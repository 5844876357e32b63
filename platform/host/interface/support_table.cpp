// SPDX-License-Identifier: AGPL-3.0-or-later
// Support: memory, fixed-point division and file paths.
#include "interface/boundary.h"
#include "interface/tables.h"

#include "core/fixed_math.h"

namespace vellora {

namespace {

extern "C" {

static void* SupportAllocate(uint32_t bytes) {
    return HostOp<void*>("Support.Allocate", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(bytes);
        void* block = h.allocate(bytes);
        t.result(block ? "block" : "NULL");
        return block;
    });
}

static void SupportFree(void* block) {
    HostCall("Support.Free", [&](PluginSide& h, TraceLine& t) {
        t.arg(block ? "block" : "NULL");
        h.free(block);
    });
}

static Fixed SupportFixedDiv(Fixed a, Fixed b) {
    return HostOp<Fixed>("Support.FixedDiv", 0, [&](PluginSide&, TraceLine& t) {
        t.arg(AsFixed{a}).arg(AsFixed{b});
        Fixed q = RoundedFixedDiv(a, b);
        t.result(AsFixed{q});
        return q;
    });
}

static HostPath SupportAcquireFilePath(HostFile file) {
    return HostOp<HostPath>("Support.AcquireFilePath", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(file);
        if (file == nullptr) {
            t.result("NULL");
            return HostPath{nullptr};
        }
        FileRef* f = h.checked<FileRef>(file, kFileKind);
        HostPath path = reinterpret_cast<HostPath>(&h.newPath(f->path));
        t.result(path);
        return path;
    });
}

static void SupportReleaseFilePath(HostPath path) {
    HostCall("Support.ReleaseFilePath", [&](PluginSide& h, TraceLine& t) {
        t.arg(path);
        PathRef& p = *h.checked<PathRef>(path, kPathKind);
        DropReference(p.refs, [&] { return "path \"" + p.path + "\""; });
    });
}

static HostFileSystem SupportDefaultFileSystem() {
    return HostOp<HostFileSystem>("Support.DefaultFileSystem", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.result("filesystem");
        return h.fileSystem();
    });
}

}  // extern "C"

}  // namespace

const SupportTable& SupportTableInstance() {
    static const SupportTable table{sizeof(SupportTable),    SupportAllocate,        SupportFree,
                                    SupportFixedDiv,         SupportAcquireFilePath, SupportReleaseFilePath,
                                    SupportDefaultFileSystem};
    return table;
}

}  // namespace vellora
