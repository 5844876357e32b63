// SPDX-License-Identifier: AGPL-3.0-or-later
// Core: atoms, callbacks, tables and configuration.
#include "interface/boundary.h"
#include "interface/tables.h"

namespace vellora {

namespace {

extern "C" {

static Atom CoreAtomFromString(const char* text) {
    return HostOp<Atom>("Core.AtomFromString", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(Quoted{text});
        Atom atom = h.atomOf(NeedText(text, "text"));
        t.result(atom);
        return atom;
    });
}

static HostCallback CoreMakeCallback(ExtensionId extension, HostProc routine) {
    return HostOp<HostCallback>("Core.MakeCallback", VX_NO_CALLBACK, [&](PluginSide& h, TraceLine& t) {
        t.arg(AsHex{extension});
        if (extension != h.extensionId())
            throw HostError("extension " + Hex(extension) + " is not the one given in the setup record (" +
                            Hex(h.extensionId()) + ")");
        HostCallback cb = h.makeCallback(extension, routine);
        t.result(AsCallback{cb});
        return cb;
    });
}

static const HostTable* CoreGetTable(Atom name, uint32_t version) {
    return HostOp<const HostTable*>("Core.GetTable", nullptr, [&](PluginSide& h, TraceLine& t) {
        const std::string& text = h.atomText(name);
        t.arg(Quoted{text.c_str()}).arg(AsHex{version});
        const HostTable* table = h.findTable(text, version);
        t.result(table ? "table" : "none");
        return table;
    });
}

static int32_t CoreGetConfiguration(Atom key) {
    return HostOp<int32_t>("Core.GetConfiguration", 0, [&](PluginSide& h, TraceLine& t) {
        const std::string& text = h.atomText(key);
        t.arg(Quoted{text.c_str()});
        int32_t value = text == "CanEdit" ? (h.config().canEdit ? 1 : 0) : 0;
        t.result(value);
        return value;
    });
}

}  // extern "C"

}  // namespace

const CoreTable& CoreTableInstance() {
    static const CoreTable table{sizeof(CoreTable), CoreAtomFromString, CoreMakeCallback, CoreGetTable,
                                 CoreGetConfiguration};
    return table;
}

const ObjectTable& ObjectTableInstance() {
    static const ObjectTable table{sizeof(ObjectTable)};
    return table;
}

const PlatformTable& PlatformTableInstance() {
    static const PlatformTable table{sizeof(PlatformTable)};
    return table;
}

void PublishTables(PluginSide& host) {
    auto publish = [&](const char* name, const void* table) {
        host.publishTable(name, static_cast<const HostTable*>(table));
    };
    publish(VX_TABLE_SUPPORT, &SupportTableInstance());
    publish(VX_TABLE_OBJECT, &ObjectTableInstance());
    publish(VX_TABLE_MODEL, &ModelTableInstance());
    publish(VX_TABLE_VIEWER, &ViewerTableInstance());
    publish(VX_TABLE_PLATFORM, &PlatformTableInstance());
    host.installProgressMonitor(ProgressMonitorFor(host.config().progress));
}

}  // namespace vellora
