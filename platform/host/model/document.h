// Documents: a backend plus what the host keeps about it (modified flag,
// permissions, file) and the page handles given to the plug-in.
#pragma once

#include "backend/document_backend.h"
#include "vx_types.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

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
    // Modified: marked so, or a page's crop box differs from the one it had
    // when the document was opened or last saved.
    bool modified() const { return modified_ || !changedCrops_.empty(); }
    // False: the document as it stands is the saved one.
    void setModified(bool modified) {
        modified_ = modified;
        if (!modified) changedCrops_.clear();
    }

    // The document's file, or null when it was never saved.
    FileRef* file() { return file_.empty() ? nullptr : &file_.back(); }
    // Older FileRefs stay valid: the plug-in may still hold them.
    void setFile(const std::string& path) { file_.push_back(FileRef{path}); }

    // Sets the crop box as given; the document is modified unless every page
    // has its saved box again (a stopped run that gave every page back).
    void setCropBox(int index, const FixedRect& box);

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
    bool modified_ = false;
    std::map<int, FixedRect> changedCrops_;  // page index -> its saved crop box
    std::deque<FileRef> file_;
    bool closed_ = false;
};

}  // namespace vellora
