// SPDX-License-Identifier: AGPL-3.0-or-later
// Output: saving, snapshots and printed listings.
#include "script/interpreter.h"

#include "backend/document_backend.h"
#include "core/fixed_text.h"
#include "render/png_writer.h"

#include <vxwin32/standin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <utility>
#include <vector>

namespace vellora {

namespace {

// File errors end the script with the status of a file failure.
template <class F>
void FileStep(F&& step) {
    try {
        step();
    } catch (const ScriptError&) {
        throw;
    } catch (const HostError& e) {
        throw ScriptError(e.what(), FileStepStatus(e));
    }
}

std::string ItemLine(ScriptSide& h, MenuItemObj& item) {
    std::string line = item.name + " \"" + item.title + "\"";
    if (item.submenu != nullptr) return line + " >";
    line += h.enabled(item) ? " enabled" : " disabled";
    if (h.marked(item)) line += " marked";
    if (item.shortcut != 0) line += " shortcut " + std::to_string(item.shortcut) + "+" + std::to_string(item.modifiers);
    if (item.icon != nullptr) {
        auto info = vxwin32::DescribeBitmap(static_cast<HBITMAP>(item.icon));
        line += info ? " icon " + std::to_string(info->resourceId) : " icon ?";
    }
    return line;
}

void PrintMenu(ScriptSide& h, std::ostream& out, MenuObj& menu, int depth) {
    if (depth > 16) return;
    for (MenuItemObj* item : menu.items) {
        out << std::string(static_cast<size_t>(2 * depth), ' ') << ItemLine(h, *item) << "\n";
        if (item->submenu != nullptr) PrintMenu(h, out, *item->submenu, depth + 1);
    }
}

}  // namespace

void AddOutputCommands(std::map<std::string, Command>& t) {
    AddCommand(t, "save", "save [PATH] [full]", 0, 2, [](Interpreter& in, Args& a) {
        Document& doc = in.activeDocument();
        std::string path;
        if (a.more() && a.peek() != "full") path = a.text("path");
        SaveMode mode = SaveMode::Incremental;
        if (a.more()) {
            if (a.text("mode") != "full") a.fail("the mode can only be \"full\"");
            mode = SaveMode::Full;
        }
        if (path.empty()) {
            if (doc.file() == nullptr) a.fail("document \"" + doc.name() + "\" has no file yet; give a path");
            path = doc.file()->path;
        }
        FileStep([&] { in.host().saveDocument(doc, path, mode); });
    });
    AddCommand(t, "snapshot", "snapshot PATH.png", 1, 1, [](Interpreter& in, Args& a) {
        std::string path = a.text("path");
        if (path.size() < 4 || path.substr(path.size() - 4) != ".png") a.fail("the snapshot's name must end in .png");
        PageView& view = in.activeView();
        in.host().drawNow(view);
        FileStep([&] { WritePng(view.rasterise(), path); });
    });
    AddCommand(t, "print boxes", "print boxes", 0, 0, [](Interpreter& in, Args&) {
        Document& doc = in.activeDocument();
        DocumentBackend& b = doc.backend();
        for (int i = 0; i < doc.pageCount(); ++i)
            in.out() << "page " << i + 1 << " rotate " << b.rotation(i) << " media " << RectToText(b.mediaBox(i))
                     << " crop " << RectToText(b.cropBox(i)) << " bbox "
                     << RectToText(GrowBox(b.boundingBox(i), in.host().config().margin)) << "\n";
    });
    AddCommand(t, "print info", "print info", 0, 0, [](Interpreter& in, Args&) {
        Document& doc = in.activeDocument();
        const DocumentBackend& b = doc.backend();
        // Page sizes (the crop box, as shown) in the order they first come.
        std::vector<std::pair<std::string, int>> sizes;
        for (int i = 0; i < doc.pageCount(); ++i) {
            const FixedRect box = b.cropBox(i);
            std::ostringstream size;
            size << std::abs(int64_t(box.right) - box.left) / 65536.0 << " x "
                 << std::abs(int64_t(box.top) - box.bottom) / 65536.0;
            auto found = std::find_if(sizes.begin(), sizes.end(), [&](const auto& s) { return s.first == size.str(); });
            if (found == sizes.end())
                sizes.emplace_back(size.str(), 1);
            else
                ++found->second;
        }
        in.out() << "pages " << doc.pageCount() << "\n";
        for (const auto& [size, count] : sizes) in.out() << "size " << size << " pt: " << count << "\n";
        const std::string library = PdfLibraryVersion();
        in.out() << "encrypted " << (b.encrypted() ? "yes" : "no") << "\n"
                 << "repaired " << (b.repairedOnOpen() ? "yes" : "no") << "\n"
                 << "library " << (library.empty() ? "none" : library) << "\n";
    });
    AddCommand(t, "print menus", "print menus", 0, 0, [](Interpreter& in, Args&) {
        ScriptSide& h = in.host();
        for (MenuObj* menu : h.topMenus()) {
            in.out() << menu->name << " \"" << menu->title << "\"\n";
            PrintMenu(h, in.out(), *menu, 1);
        }
    });
    AddCommand(t, "print toolbar", "print toolbar", 0, 0, [](Interpreter& in, Args&) {
        ScriptSide& h = in.host();
        for (ButtonObj* b : h.buttons()) {
            in.out() << b->nameText << (h.enabled(*b) ? " enabled" : " disabled") << (h.marked(*b) ? " marked" : "");
            if (!b->helpText.empty()) in.out() << " \"" << b->helpText << "\"";
            in.out() << "\n";
        }
    });
}

}  // namespace vellora
