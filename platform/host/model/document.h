// SPDX-License-Identifier: AGPL-3.0-or-later
// Documents: a backend plus what the host keeps about it (modified flag,
// permissions, file) and the page handles given to the plug-in.
#pragma once

#include "backend/document_backend.h"
#include "vx_types.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vellora {

class Document;
class MemoryBackend;

// What a Page handle points at; one per page, kept as long as its document.
struct PageRef {
    Document* doc = nullptr;
    int index = 0;
    int refs = 0;  // references acquired and not yet released
};

// What a HostFile handle points at.
struct FileRef {
    std::string path;
};

// One page's crop box before and after a change.
struct BoxChange {
    int page = 0;
    FixedRect before{}, after{};
};

class Document {
public:
    Document(std::string name, std::unique_ptr<DocumentBackend> backend, MemoryBackend* memory);

    const std::string& name() const { return name_; }
    DocumentBackend& backend() { return *backend_; }
    const DocumentBackend& backend() const { return *backend_; }
    // The in-memory backend, or null for a document read from a file.
    MemoryBackend* memory() const { return memory_; }

    int pageCount() const { return backend_->pageCount(); }
    // Throws HostError naming the document for an index outside it.
    PageRef& page(int index);
    void checkIndex(int index) const;

    uint32_t permissions() const;
    void overridePermissions(uint32_t permissions) { permissions_ = permissions; }
    // Modified when some crop box differs from the last save, or when told so.
    bool modified() const { return modified_ || !unsaved_.empty(); }
    // False: the boxes as they are now count as saved.
    void setModified(bool modified);

    // The document's file, or null when it was never saved.
    FileRef* file() { return file_.empty() ? nullptr : &file_.back(); }
    // Older FileRefs stay valid: the plug-in may still hold them.
    void setFile(const std::string& path) { file_.push_back(FileRef{path}); }

    // Sets the crop box as given; the change joins the open Undo step.
    void setCropBox(int index, const FixedRect& box);

    // ---- Undo. Every crop box change joins the open step; a person's action
    // closes it, and a step whose pages all stand as they did is dropped (a
    // run that gave its pages back). Undo and Redo change no step.
    // True when a step was recorded.
    bool closeStep();
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Put every page of the last step back (forward); the pages changed.
    std::vector<int> undo() { return replay(undo_, redo_, true); }
    std::vector<int> redo() { return replay(redo_, undo_, false); }

    bool closed() const { return closed_; }
    void markClosed() { closed_ = true; }
    // Page references still held, as "page N (K references)" texts.
    std::vector<std::string> heldPages() const;

private:
    std::string name_;
    std::unique_ptr<DocumentBackend> backend_;
    MemoryBackend* memory_;
    std::deque<PageRef> pages_;
    std::optional<uint32_t> permissions_;
    // Sets a box with no step and keeps the saved-state record true.
    FixedRect putCropBox(int index, const FixedRect& box);
    // Takes the last step of `from` to `to`, its pages set to their boxes
    // before it (`back`) or after it.
    std::vector<int> replay(std::vector<std::vector<BoxChange>>& from, std::vector<std::vector<BoxChange>>& to,
                            bool back);

    bool modified_ = false;
    std::map<int, FixedRect> savedBoxes_;  // as at the last save, for pages changed since
    std::set<int> unsaved_;                // pages whose box differs from it
    std::map<int, BoxChange> open_;        // the open step, by page
    std::vector<std::vector<BoxChange>> undo_, redo_;
    std::deque<FileRef> file_;
    bool closed_ = false;
};

}  // namespace vellora
