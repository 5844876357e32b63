// SPDX-License-Identifier: AGPL-3.0-or-later
// Documents and views: open, new, page, doc, activate, close, goto, zoom.
#include "script/interpreter.h"

#include "backend/memory/memory_backend.h"
#include "core/fixed_text.h"

namespace vellora {

namespace {

MemoryBackend& MemoryOf(Interpreter& in) {
    Document& doc = in.activeDocument();
    if (doc.memory() == nullptr)
        throw ScriptError("document \"" + doc.name() +
                          "\" is read from a file; only documents made with `new` take `page`");
    return *doc.memory();
}

}  // namespace

void AddDocumentCommands(std::map<std::string, Command>& t) {
    AddCommand(t, "open", "open PATH [password PW]", 1, 3, [](Interpreter& in, Args& a) {
        std::string path = a.text("path");
        std::string password;
        if (a.more()) {
            if (a.text("keyword") != "password") a.fail("after the path only \"password PW\" may follow");
            password = a.text("password");
        }
        ScriptSide& h = in.host();
        std::shared_ptr<Document> doc;
        const std::shared_ptr<OpenedDocument>& opened = in.options().opened;
        try {
            if (opened && opened->backend && opened->path == path)
                doc = h.adoptPdfDocument(path, std::move(opened->backend), opened->warnings,
                                         password.empty() ? opened->password : password);
            else
                doc = h.openPdfDocument(path, password);
        } catch (const HostError& e) {
            throw ScriptError(e.what(), FileStepStatus(e));
        }
        h.openWindow(doc, doc->name());
    });
    AddCommand(t, "new", "new NAME PAGES [W H]", 2, 4, [](Interpreter& in, Args& a) {
        std::string name = a.text("name");
        int pages = static_cast<int>(a.integer("page count", 1, 100000));
        Fixed w = 612 * VX_FIXED_ONE, hgt = 792 * VX_FIXED_ONE;
        if (a.more()) {
            w = a.fixed("width");
            hgt = a.fixed("height");
        }
        if (w <= 0 || hgt <= 0) a.fail("the width and height must be positive");
        ScriptSide& h = in.host();
        h.openWindow(h.newMemoryDocument(name, pages, w, hgt), name);
    });
    AddCommand(t, "page", "page N [media L B R T] [crop L B R T] [rotate DEG] [bbox L B R T]", 1, SIZE_MAX,
               [](Interpreter& in, Args& a) {
                   MemoryBackend& memory = MemoryOf(in);
                   int index = in.pageIndex(a);
                   PageSetup setup = memory.setup(index);
                   while (a.more()) {
                       std::string key = a.text("box name");
                       if (key == "media")
                           setup.media = a.rect("media box");
                       else if (key == "crop")
                           setup.crop = a.rect("crop box");
                       else if (key == "bbox")
                           setup.bbox = a.rect("bounding box");
                       else if (key == "rotate")
                           setup.rotation = static_cast<int>(a.integer("rotation", -32768, 32767));
                       else
                           a.fail("unknown page setting \"" + key + "\" (media, crop, rotate, bbox)");
                   }
                   memory.setup(index) = setup;
                   // The page changed under any view showing it.
                   in.host().notifyPageChanged(in.activeDocument(), index);
               });
    AddCommand(t, "doc permissions", "doc permissions N", 1, 1, [](Interpreter& in, Args& a) {
        in.activeDocument().overridePermissions(static_cast<uint32_t>(a.integer("permissions", 0, UINT32_MAX)));
    });
    AddCommand(t, "doc modified", "doc modified 0|1", 1, 1,
               [](Interpreter& in, Args& a) { in.activeDocument().setModified(a.flag("modified")); });
    AddCommand(t, "doc file", "doc file PATH", 1, 1, [](Interpreter& in, Args& a) {
        Document& doc = in.activeDocument();
        doc.setFile(a.text("path"));
        in.host().addHandle(doc.file(), kFileKind);
    });
    AddCommand(t, "activate", "activate NAME", 1, 1, [](Interpreter& in, Args& a) {
        std::string name = a.text("window name");
        DocWindow* w = in.host().findWindow(name);
        if (w == nullptr) a.fail("no document window is named \"" + name + "\"");
        in.host().activate(*w);
    });
    AddCommand(t, "close", "close", 0, 0, [](Interpreter& in, Args&) { in.host().closeWindow(in.activeWindow()); });
    AddCommand(t, "goto", "goto N", 1, 1, [](Interpreter& in, Args& a) {
        int index = in.pageIndex(a);
        in.activeView().setPage(index);
    });
    AddCommand(t, "zoom", "zoom PERCENT", 1, 1, [](Interpreter& in, Args& a) {
        const std::string word = a.text("zoom");
        const std::optional<Fixed> z = FixedFromText(word);
        const double percent = z ? FixedToDouble(*z) : 0.0;
        if (!z || percent < 1.0 || percent > 6400.0)
            a.fail("the zoom must be a number of percent from 1 to 6400, not \"" + word + "\"");
        in.activeView().setZoom(percent);
    });
}

}  // namespace vellora
