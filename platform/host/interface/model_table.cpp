// SPDX-License-Identifier: AGPL-3.0-or-later
// Model: documents and pages.
#include "interface/boundary.h"
#include "interface/tables.h"

namespace vellora {

namespace {

Document& Doc(PluginSide& h, ::Document doc) { return *h.checked<Document>(doc, kDocKind); }
PageRef& PageOfHandle(PluginSide& h, Page page) { return *h.checked<PageRef>(page, kPageKind); }

// Boxes are read and written in the page's document, closed or not: a
// page handle stays valid as long as the plug-in holds it.
template <class Read>
void ReadBox(const char* operation, Page page, FixedRect* box, Read read) {
    HostCall(operation, [&](PluginSide& h, TraceLine& t) {
        t.arg(page);
        PageRef& p = PageOfHandle(h, page);
        if (box == nullptr) throw HostError("no rectangle to fill (NULL)");
        *box = read(h, p);
        t.result(*box);
    });
}

extern "C" {

static int32_t ModelPageCount(::Document doc) {
    return HostOp<int32_t>("Model.PageCount", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(doc);
        int32_t n = Doc(h, doc).pageCount();
        t.result(n);
        return n;
    });
}

static Page ModelAcquirePage(::Document doc, int32_t index) {
    return HostOp<Page>("Model.AcquirePage", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(doc).arg(index);
        PageRef& p = Doc(h, doc).page(index);
        ++p.refs;
        Page page = reinterpret_cast<Page>(&p);
        t.result(page);
        return page;
    });
}

static void ModelReleasePage(Page page) {
    HostCall("Model.ReleasePage", [&](PluginSide& h, TraceLine& t) {
        t.arg(page);
        PageRef& p = PageOfHandle(h, page);
        DropReference(p.refs, [&] { return "page index " + std::to_string(p.index); });
    });
}

static uint32_t ModelDocumentPermissions(::Document doc) {
    return HostOp<uint32_t>("Model.DocumentPermissions", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(doc);
        uint32_t perms = Doc(h, doc).permissions();
        t.result(perms);
        return perms;
    });
}

static int16_t ModelPageRotation(Page page) {
    return HostOp<int16_t>("Model.PageRotation", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(page);
        PageRef& p = PageOfHandle(h, page);
        int rotation = p.doc->backend().rotation(p.index);
        if (rotation < INT16_MIN || rotation > INT16_MAX)
            throw HostError("the page's rotation " + std::to_string(rotation) + " does not fit 16 bits");
        t.result(rotation);
        return static_cast<int16_t>(rotation);
    });
}

static void ModelGetMediaBox(Page page, FixedRect* box) {
    ReadBox("Model.GetMediaBox", page, box, [](PluginSide&, PageRef& p) { return p.doc->backend().mediaBox(p.index); });
}

static void ModelGetCropBox(Page page, FixedRect* box) {
    ReadBox("Model.GetCropBox", page, box, [](PluginSide&, PageRef& p) { return p.doc->backend().cropBox(p.index); });
}

static void ModelGetBoundingBox(Page page, FixedRect* box) {
    // With the margin the user asked for; the plug-in clips it to the media box.
    ReadBox("Model.GetBoundingBox", page, box, [](PluginSide& h, PageRef& p) {
        return GrowBox(p.doc->backend().boundingBox(p.index), h.config().margin);
    });
}

static void ModelSetCropBox(Page page, Fixed left, Fixed top, Fixed right, Fixed bottom) {
    HostCall("Model.SetCropBox", [&](PluginSide& h, TraceLine& t) {
        FixedRect box{left, top, right, bottom};
        t.arg(page).arg(box);
        PageRef& p = PageOfHandle(h, page);
        if ((p.doc->permissions() & VX_PERMISSION_EDIT) == 0)
            throw HostError("document \"" + p.doc->name() + "\" does not permit editing");
        p.doc->setCropBox(p.index, box);
    });
}

static void ModelNotifyPageChanged(Page page) {
    HostCall("Model.NotifyPageChanged", [&](PluginSide& h, TraceLine& t) {
        t.arg(page);
        PageRef& p = PageOfHandle(h, page);
        h.notifyPageChanged(*p.doc, p.index);
    });
}

static uint32_t ModelDocumentFlags(::Document doc) {
    return HostOp<uint32_t>("Model.DocumentFlags", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(doc);
        uint32_t flags = Doc(h, doc).modified() ? VX_DOC_MODIFIED : 0u;
        t.result(flags);
        return flags;
    });
}

static HostFile ModelDocumentFile(::Document doc) {
    return HostOp<HostFile>("Model.DocumentFile", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(doc);
        HostFile file = reinterpret_cast<HostFile>(Doc(h, doc).file());
        t.result(file);
        return file;
    });
}

}  // extern "C"

}  // namespace

const ModelTable& ModelTableInstance() {
    static const ModelTable table{
        sizeof(ModelTable),     ModelPageCount,     ModelAcquirePage, ModelReleasePage,    ModelDocumentPermissions,
        ModelPageRotation,      ModelGetMediaBox,   ModelGetCropBox,  ModelGetBoundingBox, ModelSetCropBox,
        ModelNotifyPageChanged, ModelDocumentFlags, ModelDocumentFile};
    return table;
}

}  // namespace vellora
