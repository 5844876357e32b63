// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/host.h"

#include "backend/memory/memory_backend.h"
#include "core/message_text.h"
#include "files/file_lock.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace vellora {

namespace {
Host* g_current = nullptr;
}  // namespace

HostState* HostState::running() { return g_current; }

HostState::HostState(HostConfig cfg, std::ostream& e, const std::string& tracePath, bool bar, bool talk)
    : config_(std::move(cfg)), trace_(tracePath), err_(e), verbose_(talk), progressDisplay_(e, bar, talk) {
    if (g_current != nullptr) throw HostError("a host is already running in this process");
    toolbar_.room = config_.toolbarRoom;
    addHandle(&menubar_, kMenubarKind);
    addHandle(&toolbar_, kToolbarKind);
    addHandle(&fileSystem_, kFileSystemKind);
    setUpMenus();
    setUpToolbar();
    setUpTools();
}

HostState::~HostState() {
    for (void* block : blocks_) std::free(block);
}

PluginSide::~PluginSide() = default;
ScriptSide::~ScriptSide() = default;
FrontEndSide::~FrontEndSide() = default;

Host::Host(HostConfig cfg, std::ostream& e, const std::string& tracePath, bool bar, bool talk)
    : HostState(std::move(cfg), e, tracePath, bar, talk) {
    g_current = this;
}

Host::~Host() { g_current = nullptr; }

Host* Host::current() { return g_current; }

void HostState::recordPluginError(const std::string& message, int status) {
    if (!pluginError_) pluginError_ = PluginError{message, status, {}};
}

void HostState::recordUnanswered(const std::string& question, const std::string& message) {
    if (!pluginError_) pluginError_ = PluginError{message, kExitFailed, question};
}

std::optional<PluginError> HostState::takePluginError() {
    auto e = std::move(pluginError_);
    pluginError_.reset();
    return e;
}

std::string HostState::describe(const void* handle) const {
    if (handle == nullptr) return "NULL";
    auto found = handles_.find(handle);
    if (found == handles_.end()) return "<unknown handle>";
    std::string_view kind = found->second;
    auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    if (kind == kPageKind) {
        auto* p = static_cast<const PageRef*>(handle);
        return "page(" + quoted(p->doc->name()) + " " + std::to_string(p->index) + ")";
    }
    if (kind == kDocKind) return "doc(" + quoted(static_cast<const Document*>(handle)->name()) + ")";
    if (kind == kViewKind) return "view(" + quoted(static_cast<const PageView*>(handle)->window().name()) + ")";
    if (kind == kWindowKind) return "window(" + quoted(static_cast<const DocWindow*>(handle)->name()) + ")";
    if (kind == kMenuKind) return "menu(" + quoted(static_cast<const MenuObj*>(handle)->name) + ")";
    if (kind == kItemKind) return "item(" + quoted(static_cast<const MenuItemObj*>(handle)->name) + ")";
    if (kind == kButtonKind) return "button(" + quoted(static_cast<const ButtonObj*>(handle)->nameText) + ")";
    if (kind == kFileKind) return "file(" + quoted(static_cast<const FileRef*>(handle)->path) + ")";
    if (kind == kPathKind) return "path(" + quoted(static_cast<const PathRef*>(handle)->path) + ")";
    return std::string(kind);
}

// ---- Documents and windows ------------------------------------------------

std::shared_ptr<Document> HostState::newMemoryDocument(const std::string& name, int pages, Fixed width, Fixed height) {
    auto backend = std::make_unique<MemoryBackend>(pages, width, height);
    MemoryBackend* memory = backend.get();
    auto doc = std::make_shared<Document>(name, std::move(backend), memory);
    documents_.push_back(doc);
    return doc;
}

std::shared_ptr<Document> HostState::openPdfDocument(const std::string& path, const std::string& password) {
    std::vector<std::string> warnings;
    const auto known = passwords_.find(path);
    const std::string& given = password.empty() && known != passwords_.end() ? known->second : password;
    std::unique_ptr<DocumentBackend> backend = OpenPdfDocument(path, warnings, given, OpenFor::Anything, config_.ink);
    return adoptPdfDocument(path, std::move(backend), warnings, given);
}

void HostState::publishTable(const std::string& name, const HostTable* table) {
    auto offered = config_.tableVersions.find(name);
    tables_.publish(name, table, offered == config_.tableVersions.end() ? std::set<uint32_t>{} : offered->second);
}

void HostState::setBoxSettings(const BoxMargin& margin, const InkSettings& ink) {
    config_.margin = margin;
    config_.ink = ink;
    for (const std::shared_ptr<Document>& doc : documents_) doc->backend().setInk(ink);
}

std::shared_ptr<Document> HostState::adoptPdfDocument(const std::string& path, std::unique_ptr<DocumentBackend> backend,
                                                      const std::vector<std::string>& warnings,
                                                      const std::string& password) {
    if (!password.empty()) passwords_[path] = password;
    for (const std::string& w : warnings) PrintMessage(err_, "warning: " + w);
    if (backend->pageCount() <= 0) throw HostError(path + ": the document has no pages");
    auto doc = std::make_shared<Document>(std::filesystem::path(path).filename().string(), std::move(backend), nullptr);
    doc->setFile(path);
    documents_.push_back(doc);
    return doc;
}

std::string HostState::uniqueWindowName(const std::string& base) const {
    std::string name = base;
    for (int n = 2; findWindow(name) != nullptr; ++n) name = base + " (" + std::to_string(n) + ")";
    return name;
}

DocWindow& HostState::openWindow(std::shared_ptr<Document> doc, const std::string& name) {
    if (doc->pageCount() <= 0) throw HostError("document \"" + doc->name() + "\" has no pages");
    windows_.push_back(std::make_unique<DocWindow>(uniqueWindowName(name), doc));
    DocWindow& w = *windows_.back();
    addHandle(&w, kWindowKind);
    addHandle(&w.view(), kViewKind);
    addHandle(doc.get(), kDocKind);
    for (int i = 0; i < doc->pageCount(); ++i) addHandle(&doc->page(i), kPageKind);
    if (FileRef* f = doc->file()) addHandle(f, kFileKind);
    activate(w);
    return w;
}

void HostState::closeWindow(DocWindow& window) {
    auto found = std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.get() == &window; });
    if (found == windows_.end()) throw HostError("no such document window");
    std::shared_ptr<Document> doc = window.documentPtr();
    dropHandle(&window);
    dropHandle(&window.view());
    std::unique_ptr<DocWindow> keep = std::move(*found);
    windows_.erase(found);
    bool stillShown =
        std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) { return w->documentPtr() == doc; });
    if (!stillShown) {
        // Pages and files stay valid handles: the plug-in may hold them.
        dropHandle(doc.get());
        doc->markClosed();
    }
    if (active_ == &window) {
        active_ = nullptr;
        if (!windows_.empty()) activate(*windows_.back());
    }
}

bool HostState::closeWindowAsking(DocWindow& w) {
    if (w.document().modified()) {
        int32_t answer =
            alert("Save changes to \"" + w.name() + "\" before closing?", {"Save", "Don't Save", "Cancel"});
        if (answer != 1 && answer != 2) return false;
        if (answer == 1) {
            FileRef* file = w.document().file();
            if (file == nullptr) throw HostError("document \"" + w.document().name() + "\" has no file to save to");
            saveDocument(w.document(), file->path, SaveMode::Incremental);
        }
    }
    closeWindow(w);
    return true;
}

void HostState::activate(DocWindow& window) {
    active_ = &window;
    window.view().invalidateAll();
}

DocWindow* HostState::findWindow(const std::string& name) const {
    for (const auto& w : windows_)
        if (w->name() == name) return w.get();
    return nullptr;
}

void HostState::saveDocument(Document& doc, const std::string& path, SaveMode mode) {
    // A command-line run holds it already; the viewer's Save and a script's
    // take it for the save.
    const FileLock lock(path);
    doc.backend().save(path, mode);
    const std::string whole = doc.backend().wholeFileReason();
    if (!whole.empty()) PrintMessage(err_, "warning: " + path + ": written whole, not appended to: " + whole);
    doc.setModified(false);
    FileRef* before = doc.file();
    if (before == nullptr || before->path != path) {
        doc.setFile(path);
        addHandle(doc.file(), kFileKind);
    }
}

std::vector<std::string> HostState::leaks() const {
    std::vector<std::string> found;
    for (const auto& doc : documents_)
        for (const std::string& held : doc->heldPages()) found.push_back("the plug-in still holds " + held);
    auto held = [&](int refs, const std::string& what) {
        if (refs > 0) found.push_back("the plug-in still holds " + std::to_string(refs) + " reference(s) to " + what);
    };
    for (const MenuObj& menu : menubar_.allMenus()) held(menu.refs, "menu \"" + menu.name + "\"");
    for (const MenuItemObj& item : menubar_.allItems())
        held(item.refs - item.kept, "menu item \"" + item.name + "\" acquired by name");
    for (const PathRef& path : paths_) held(path.refs, "path \"" + path.path + "\" from Support.AcquireFilePath");
    if (!blocks_.empty())
        found.push_back("the plug-in did not free " + std::to_string(blocks_.size()) +
                        " block(s) from Support.Allocate");
    return found;
}

// ---- Support ----------------------------------------------------------------

void* HostState::allocate(uint32_t bytes) {
    if (config_.allocateRefused) return nullptr;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) blocks_.insert(block);
    return block;
}

void HostState::free(void* block) {
    if (block == nullptr) return;
    if (blocks_.erase(block) == 0) throw HostError("the block was not given by Support.Allocate, or was freed already");
    std::free(block);
}

PathRef& HostState::newPath(const std::string& path) {
    paths_.push_back(PathRef{path});
    addHandle(&paths_.back(), kPathKind);
    return paths_.back();
}

}  // namespace vellora
