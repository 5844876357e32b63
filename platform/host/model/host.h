// SPDX-License-Identifier: AGPL-3.0-or-later
// The stand-in host: everything the plug-in's calls reach. The C tables in
// interface/ are thin wrappers over its plug-in side; the script interpreter
// drives it as a user would through its script side; the viewer reads it
// through its front end's side.
#pragma once

#include "core/atoms.h"
#include "core/callbacks.h"
#include "core/exit_status.h"
#include "core/host_config.h"
#include "core/table_registry.h"
#include "core/trace.h"
#include "input/input_queue.h"
#include "model/document.h"
#include "model/menus.h"
#include "model/page_view.h"
#include "model/progress.h"
#include "model/toolbar.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vellora {

struct AlertShown {
    std::string kind;  // "note", "question", "confirm", or "host" for the host's own
    std::string text;
    std::vector<std::string> buttons;
    std::string answer;
};

// The region a drawing routine showed: the page rectangle it outlined with
// corner handles, in the space of the page it drew on.
struct RegionSeen {
    FixedRect rect{};
    const Document* doc = nullptr;
    int page = 0;
};

// The first error met inside a plug-in call.
struct PluginError {
    std::string message;
    int status = kExitFailed;
    std::string unanswered;  // the question asked with no fitting answer queued, if that was it
};

// What a HostPath handle points at: each Support.AcquireFilePath makes one,
// held once until released.
struct PathRef {
    std::string path;
    int refs = 1;
};

// What a front end's own menu item does, and when it shows enabled and marked.
struct HostItemBehaviour {
    std::function<void()> action;
    std::function<bool()> enabled;
    std::function<bool()> marked;
};

// The host's state and everything done with it. No layer above the model
// holds it whole: each is given one side of it (below), which names the
// methods that layer uses, and the compiler refuses any other.
class HostState {
public:
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    // The state of the run in progress, for the model's own C entries (the
    // host's tools' type entry); null outside a run.
    static HostState* running();
    Atom hostToolAtom(const ToolRecord* tool);

protected:
    // `verbose`: the conversation is shown on `err` (questions, answers and
    // progress lines); otherwise only alerts, warnings and a progress bar on a
    // terminal.
    HostState(HostConfig config, std::ostream& err, const std::string& tracePath, bool progressBar, bool verbose);
    virtual ~HostState();

    // ---- What the host was started with, and the handshake.
    const HostConfig& config() const { return config_; }
    ExtensionId extensionId() const { return extensionId_; }
    // The version PlugInMain answered; 0 before the handshake.
    uint32_t agreedVersion() const { return agreedVersion_; }
    void noteAgreedVersion(uint32_t version) { agreedVersion_ = version; }

    // ---- Atoms, callback handles and tables, as the plug-in's core calls
    // see them.
    Atom atomOf(const std::string& text) { return atoms_.intern(text); }
    // Throws HostError for an atom never made.
    const std::string& atomText(Atom atom) const { return atoms_.text(atom); }
    bool atomKnown(Atom atom) const { return atoms_.known(atom); }
    HostCallback makeCallback(ExtensionId extension, HostProc routine) { return callbacks_.make(extension, routine); }
    // Throws HostError for a handle never made.
    void checkCallback(HostCallback routine) const { (void)callbacks_.routine(routine); }
    // Publishes a table in the versions the configuration offers of it.
    void publishTable(const std::string& name, const HostTable* table);
    const HostTable* findTable(const std::string& name, uint32_t version) const { return tables_.find(name, version); }

    // ---- The trace of the plug-in's calls: the boundary writes a line for
    // each; a script counts them.
    Trace& callTrace() { return trace_; }
    // Calls of `operation` since the last restartCallCounts().
    int callCount(const std::string& operation) const { return trace_.count(operation); }
    void restartCallCounts() { trace_.resetCounts(); }

    // ---- The person's input: answers queued for questions and dialogs, the
    // gesture of the action in progress, the cancel check's answers, and a
    // live front end that answers in their place.
    void queueAnswer(std::string answer) { input_.queueAnswer(std::move(answer)); }
    void setStandingAnswer(const std::string& question, std::string answer) {
        input_.setStandingAnswer(question, std::move(answer));
    }
    std::optional<std::string> takeAnswer() { return input_.takeAnswer(); }
    const std::deque<std::string>& pendingAnswers() const { return input_.pendingAnswers(); }
    const std::optional<Gesture>& gesture() const { return input_.gesture; }
    void setGesture(const std::optional<Gesture>& gesture) { input_.gesture = gesture; }
    void stopAfter(int polls) { input_.stopAfter(polls); }
    void stopNever() { input_.stopNever(); }
    LiveInput* liveInput() const { return input_.live; }
    // Not owned; null gives the questions back to the queued answers.
    void setLiveInput(LiveInput* live) { input_.live = live; }

    // ---- Errors met inside a plug-in call: the first is kept and fails
    // the script once the plug-in has returned.
    void recordPluginError(const std::string& message, int status = kExitFailed);
    std::optional<PluginError> takePluginError();

    // ---- Handles given to the plug-in are checked before use.
    template <class T>
    T* checked(const void* handle, const char* kind) const {
        auto found = handles_.find(handle);
        if (handle == nullptr) throw HostError(std::string("no ") + kind + " given (NULL)");
        // Kinds compare by text when not by address: each source file may
        // have its own copy of a literal.
        if (found == handles_.end() || (found->second != kind && std::string_view(found->second) != kind))
            throw HostError(std::string("not a live ") + kind + " handle");
        return static_cast<T*>(const_cast<void*>(handle));
    }
    void addHandle(const void* handle, const char* kind) { handles_[handle] = kind; }
    // A readable name of a handle for the trace.
    std::string describe(const void* handle) const;

    // ---- Documents and windows.
    std::shared_ptr<Document> newMemoryDocument(const std::string& name, int pages, Fixed width, Fixed height);
    // The margin every bounding box is grown by, and what counts as ink in
    // images, for open documents and those opened later.
    void setBoxSettings(const BoxMargin& margin, const InkSettings& ink);
    // Throws HostError naming the file; prints the backend's warnings.
    // An encrypted file opens with `password`, or with the one it was last
    // opened with in this session (Revert File reopens it so).
    std::shared_ptr<Document> openPdfDocument(const std::string& path, const std::string& password = "");
    // The same for a file opened already, with what opening it reported.
    std::shared_ptr<Document> adoptPdfDocument(const std::string& path, std::unique_ptr<DocumentBackend> backend,
                                               const std::vector<std::string>& warnings,
                                               const std::string& password = "");
    DocWindow& openWindow(std::shared_ptr<Document> doc, const std::string& name);
    // Closes without asking; the document's unsaved changes are dropped.
    void closeWindow(DocWindow& window);
    // Closes as the user does: unsaved changes bring the host's question
    // (Save, Don't Save, Cancel) first. False when the user cancelled.
    bool closeWindowAsking(DocWindow& window);
    void activate(DocWindow& window);
    DocWindow* activeWindow() const { return active_; }
    DocWindow* findWindow(const std::string& name) const;
    const std::vector<std::unique_ptr<DocWindow>>& windows() const { return windows_; }
    void saveDocument(Document& doc, const std::string& path, SaveMode mode);
    // Page, menu, menu item and path references still held, and blocks not
    // freed, as messages.
    std::vector<std::string> leaks() const;

    // ---- A person's action (nested ones count as the outermost): the crop
    // boxes it changes become one Undo step of each document changed.
    void beginAction();
    void endAction();
    // Edit > Undo and Edit > Redo in the active document, with its views
    // told; HostError when there is nothing to undo or redo.
    void undo() { stepActive(true); }
    void redo() { stepActive(false); }

    // ---- Drawing.
    void drawNow(PageView& view);
    // Redraws what is invalid in the active view, as a window system does
    // when it has nothing else to do.
    void idle();
    // Draws a view no window shows (a page in small, say) as a window's is
    // drawn: repainted, then the page-view drawing routines; the region the
    // host saw on the windows' views stays as it was.
    void drawDetached(PageView& view);
    void notifyPageChanged(Document& doc, int page);
    void registerDrawing(HostCallback routine, void* data);
    void unregisterDrawing(HostCallback routine);
    void noteRectToDevice(const PageView& view, const FixedRect& rect, const DeviceRect& out);
    void noteOutline(const PageView& view, const DeviceRect& rect);
    std::optional<RegionSeen> region() const;
    // A drag loop from the press at (x, y): where the mouse is released.
    // A script's gesture gives the release at once; a person's mouse is
    // followed with the rubber band `bandAt(x, y)` drawn until the release.
    std::pair<int, int> followDrag(PageView& view, int16_t x, int16_t y,
                                   const std::function<DeviceRect(int, int)>& bandAt);

    // ---- Tools.
    void registerTool(ToolRecord* tool);
    void setActiveTool(ToolRecord* tool);
    ToolRecord* activeTool() const { return activeTool_; }
    // The name its type entry gives.
    std::string toolName(ToolRecord* tool);
    bool isHostTool(const ToolRecord* tool) const;

    // ---- Menu items and buttons.
    MenuObj* findMenu(const std::string& name) { return menubar_.findMenu(name); }
    MenuItemObj* findItem(const std::string& name) { return menubar_.findItem(name); }
    ButtonObj* findButton(const std::string& name) { return toolbar_.find(name); }
    const std::vector<MenuObj*>& topMenus() const { return menubar_.topMenus(); }
    const std::vector<ButtonObj*>& buttons() const { return toolbar_.buttons(); }
    // The menubar and the toolbar themselves, which the plug-in's menu and
    // toolbar calls work on.
    Menubar& menubar() { return menubar_; }
    Toolbar& toolbar() { return toolbar_; }
    // A front end that does the work of one of the host's items or buttons
    // itself says when it is enabled; false when there is no such one.
    bool setItemEnabledWhen(const std::string& item, std::function<bool()> test);
    bool setButtonEnabledWhen(const std::string& button, std::function<bool()> test);
    // A front end's own item, appended to the host's menu `menu`; nothing
    // when there is no such menu or an item `name` exists already.
    void appendFrontEndItem(const std::string& menu, const std::string& title, const std::string& name,
                            HostItemBehaviour behaviour);
    bool enabled(MenuItemObj& item);
    bool marked(MenuItemObj& item);
    bool enabled(ButtonObj& button);
    bool marked(ButtonObj& button);
    void execute(MenuItemObj& item);
    void press(ButtonObj& button);

    // ---- Alerts, answered from the input queue.
    int32_t alert(const std::string& message, const std::vector<const char*>& buttons);
    void note(const std::string& message, const std::string& kind = "note");
    bool confirm(const std::string& message);
    // Every alert, note and confirmation shown, in order.
    const std::vector<AlertShown>& alertsShown() const { return alerts_; }
    // The first one shown and not yet taken (by `expect alert`); null when none.
    const AlertShown* nextAlert() const { return alertsTaken_ < alerts_.size() ? &alerts_[alertsTaken_] : nullptr; }
    const AlertShown* takeNextAlert() {
        const AlertShown* next = nextAlert();
        if (next != nullptr) ++alertsTaken_;
        return next;
    }

    // ---- Progress and cancel.
    const ProgressMonitor* progressMonitor() const { return config_.progress.exists ? &monitor_ : nullptr; }
    void installProgressMonitor(const ProgressMonitor& monitor) { monitor_ = monitor; }
    void progressUpdate(ProgressEvent event, int32_t value = 0);
    // The progress calls since the last take (`expect progress`).
    const std::vector<ProgressRecord>& progressRecords() const { return progressRecords_; }
    std::vector<ProgressRecord> takeProgressRecords() { return std::exchange(progressRecords_, {}); }
    bool cancelRequested() { return input_.poll(); }

    // ---- Support.
    void* allocate(uint32_t bytes);
    void free(void* block);
    PathRef& newPath(const std::string& path);
    HostFileSystem fileSystem() { return reinterpret_cast<HostFileSystem>(&fileSystem_); }

    // ---- The cursor set by the last SetCursor (or by the host).
    HostCursorHandle cursor() const { return cursor_; }
    void setCursor(HostCursorHandle cursor) { cursor_ = cursor; }

    // ---- Calls into the plug-in.
    template <class Signature, class... Args>
    auto call(HostCallback routine, Args... args) {
        return callbacks_.call<Signature>(routine, args...);
    }

private:
    // The plug-in asked `question` and no fitting answer was queued for it.
    void recordUnanswered(const std::string& question, const std::string& message);
    void dropHandle(const void* handle) { handles_.erase(handle); }
    void setUpMenus();
    void setUpToolbar();
    void setUpTools();
    void closeSteps();
    void stepActive(bool back);
    // The host's tool of that name is the active tool (its item and button show marked).
    bool hostToolActive(const std::string& name) const;
    void drawPass(PageView& view);
    std::string uniqueWindowName(const std::string& base) const;

    HostConfig config_;
    AtomTable atoms_;
    CallbackRegistry callbacks_;
    TableRegistry tables_;
    Trace trace_;
    Menubar menubar_;
    Toolbar toolbar_;
    InputQueue input_;
    std::ostream& err_;
    bool verbose_;
    ExtensionId extensionId_ = 0x5A01;  // given to the plug-in in its setup record
    uint32_t agreedVersion_ = 0;
    HostCursorHandle cursor_ = nullptr;

    std::unordered_map<const void*, const char*> handles_;
    std::vector<std::shared_ptr<Document>> documents_;
    std::map<std::string, std::string> passwords_;  // by path, for files opened with one
    std::vector<std::unique_ptr<DocWindow>> windows_;
    DocWindow* active_ = nullptr;

    std::vector<Hook> drawing_;
    std::map<HostCallback, RegionSeen> regions_;
    struct Observation {
        const PageView* view;
        std::vector<std::pair<FixedRect, DeviceRect>> converted;
        std::vector<DeviceRect> outlines;
    };
    std::vector<Observation> observing_;

    std::deque<ToolRecord> hostTools_;
    std::map<const ToolRecord*, std::string> hostToolNames_;
    std::vector<ToolRecord*> tools_;
    ToolRecord* activeTool_ = nullptr;

    ProgressMonitor monitor_{};
    ProgressDisplay progressDisplay_;
    std::set<void*> blocks_;
    std::deque<PathRef> paths_;
    char fileSystem_ = 0;  // the address is the default file system's handle

    std::vector<AlertShown> alerts_;
    size_t alertsTaken_ = 0;
    std::vector<ProgressRecord> progressRecords_;
    std::optional<PluginError> pluginError_;
    int actionDepth_ = 0;
};

// ---- The sides of the host, one for each layer above the model. A side
// names, with a using-declaration, each method its layer calls; the state
// is a protected base, so nothing else of it can be reached through a side.

// The plug-in's side: what the entries of the host's tables (interface/)
// and the loading of the module (loader/) do.
class PluginSide : protected virtual HostState {
public:
    using HostState::activeTool;
    using HostState::activeWindow;
    using HostState::addHandle;
    using HostState::alert;
    using HostState::allocate;
    using HostState::atomKnown;
    using HostState::atomOf;
    using HostState::atomText;
    using HostState::call;
    using HostState::callTrace;
    using HostState::cancelRequested;
    using HostState::checkCallback;
    using HostState::checked;
    using HostState::closeWindow;
    using HostState::closeWindowAsking;
    using HostState::config;
    using HostState::confirm;
    using HostState::describe;
    using HostState::drawNow;
    using HostState::execute;
    using HostState::extensionId;
    using HostState::fileSystem;
    using HostState::findTable;
    using HostState::followDrag;
    using HostState::free;
    using HostState::gesture;
    using HostState::installProgressMonitor;
    using HostState::isHostTool;
    using HostState::makeCallback;
    using HostState::menubar;
    using HostState::newPath;
    using HostState::note;
    using HostState::noteAgreedVersion;
    using HostState::noteOutline;
    using HostState::noteRectToDevice;
    using HostState::notifyPageChanged;
    using HostState::openPdfDocument;
    using HostState::openWindow;
    using HostState::progressMonitor;
    using HostState::progressUpdate;
    using HostState::publishTable;
    using HostState::recordPluginError;
    using HostState::registerDrawing;
    using HostState::registerTool;
    using HostState::setActiveTool;
    using HostState::setCursor;
    using HostState::takePluginError;
    using HostState::toolbar;
    using HostState::unregisterDrawing;

protected:
    ~PluginSide() override = 0;
};

// The script's side: what the host script's commands do (script/), as a
// person at the host would, and what they check afterwards.
class ScriptSide : protected virtual HostState {
public:
    using HostState::activate;
    using HostState::activeTool;
    using HostState::activeWindow;
    using HostState::addHandle;
    using HostState::adoptPdfDocument;
    using HostState::agreedVersion;
    using HostState::beginAction;
    using HostState::buttons;
    using HostState::call;
    using HostState::callCount;
    using HostState::closeWindow;
    using HostState::config;
    using HostState::cursor;
    using HostState::drawNow;
    using HostState::enabled;
    using HostState::endAction;
    using HostState::execute;
    using HostState::findButton;
    using HostState::findItem;
    using HostState::findMenu;
    using HostState::findWindow;
    using HostState::idle;
    using HostState::leaks;
    using HostState::liveInput;
    using HostState::marked;
    using HostState::newMemoryDocument;
    using HostState::nextAlert;
    using HostState::notifyPageChanged;
    using HostState::openPdfDocument;
    using HostState::openWindow;
    using HostState::pendingAnswers;
    using HostState::press;
    using HostState::queueAnswer;
    using HostState::recordPluginError;
    using HostState::redo;
    using HostState::region;
    using HostState::restartCallCounts;
    using HostState::saveDocument;
    using HostState::setCursor;
    using HostState::setGesture;
    using HostState::setStandingAnswer;
    using HostState::stopAfter;
    using HostState::stopNever;
    using HostState::takeAnswer;
    using HostState::takeNextAlert;
    using HostState::takePluginError;
    using HostState::takeProgressRecords;
    using HostState::toolName;
    using HostState::topMenus;
    using HostState::undo;

protected:
    ~ScriptSide() override = 0;
};

// A front end's side: what the viewer (viewer/) reads to show the host and
// the hooks it sets, beside the script lines it runs for the person.
class FrontEndSide : protected virtual HostState {
public:
    using HostState::activeTool;
    using HostState::activeWindow;
    using HostState::appendFrontEndItem;
    using HostState::buttons;
    using HostState::closeWindowAsking;
    using HostState::config;
    using HostState::confirm;
    using HostState::cursor;
    using HostState::drawDetached;
    using HostState::enabled;
    using HostState::findMenu;
    using HostState::isHostTool;
    using HostState::marked;
    using HostState::region;
    using HostState::saveDocument;
    using HostState::setBoxSettings;
    using HostState::setButtonEnabledWhen;
    using HostState::setItemEnabledWhen;
    using HostState::setLiveInput;
    using HostState::takePluginError;
    using HostState::toolName;
    using HostState::topMenus;
    using HostState::windows;

protected:
    ~FrontEndSide() override = 0;
};

// The host of a run: made and owned by the script's interpreter, which hands
// each layer its side. A method more than one side names is named here once
// more, so that the host as a whole (its owner, the tests) reaches it
// without ambiguity.
class Host final : public PluginSide, public ScriptSide, public FrontEndSide {
public:
    Host(HostConfig config, std::ostream& err, const std::string& tracePath, bool progressBar, bool verbose = false);
    ~Host() override;

    // The host of the run in progress; null outside a run.
    static Host* current();

    // What the host showed, whole, for its owner to look back on.
    using HostState::alertsShown;
    using HostState::progressRecords;

    using PluginSide::activeTool;
    using PluginSide::activeWindow;
    using PluginSide::addHandle;
    using PluginSide::call;
    using PluginSide::closeWindow;
    using PluginSide::closeWindowAsking;
    using PluginSide::config;
    using PluginSide::confirm;
    using PluginSide::drawNow;
    using PluginSide::execute;
    using PluginSide::isHostTool;
    using PluginSide::notifyPageChanged;
    using PluginSide::openPdfDocument;
    using PluginSide::openWindow;
    using PluginSide::recordPluginError;
    using PluginSide::setCursor;
    using PluginSide::takePluginError;
    using ScriptSide::buttons;
    using ScriptSide::cursor;
    using ScriptSide::enabled;
    using ScriptSide::findMenu;
    using ScriptSide::marked;
    using ScriptSide::region;
    using ScriptSide::saveDocument;
    using ScriptSide::toolName;
    using ScriptSide::topMenus;

private:
    friend HostState* HostState::running();
};

// Handle kinds, as named in messages.
inline constexpr const char* kDocKind = "document";
inline constexpr const char* kPageKind = "page";
inline constexpr const char* kViewKind = "page view";
inline constexpr const char* kWindowKind = "document window";
inline constexpr const char* kMenuKind = "menu";
inline constexpr const char* kItemKind = "menu item";
inline constexpr const char* kButtonKind = "toolbar button";
inline constexpr const char* kFileKind = "file";
inline constexpr const char* kPathKind = "path";
inline constexpr const char* kMenubarKind = "menubar";
inline constexpr const char* kToolbarKind = "toolbar";
inline constexpr const char* kFileSystemKind = "file system";

}  // namespace vellora
