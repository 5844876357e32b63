// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/viewer_session.h"

#include "viewer/json_writer.h"
#include "viewer/web_security.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

namespace vellora::viewer {

namespace {

constexpr std::chrono::milliseconds kWaitSlice{100};
// The largest page view the viewer shows: the rendering travels as one PNG
// and is held by the browser as a canvas (64 MiB of pixels at 16 M).
constexpr size_t kMaxViewPixels = size_t{16} * 1024 * 1024;
static_assert(kMaxViewPixels <= PageView::kMaxSnapshotPixels);

std::string WithoutAmpersands(const std::string& text) {
    std::string plain;
    for (char c : text)
        if (c != '&') plain += c;
    return plain;
}

// The button Escape and the close box stand for: "Cancel" or "No" when
// there is one, else the last.
int CancelButton(const Question& q) {
    for (size_t i = 0; i < q.buttons.size(); ++i) {
        std::string b = WithoutAmpersands(q.buttons[i]);
        if (b == "Cancel" || b == "No") return static_cast<int>(i + 1);
    }
    return static_cast<int>(q.buttons.size());
}

}  // namespace

ViewerSession::ViewerSession(Interpreter& interpreter, UserEventQueue& events, Publication& publication,
                             std::ostream& err)
    : interpreter_(interpreter), events_(events), publication_(publication), err_(err) {
    host().setLiveInput(this);
    // What the page does itself: Save As asks it for a name, Exit ends the session.
    host().setItemEnabledWhen("SaveAs", [this] {
        return host().activeWindow() != nullptr && host().activeWindow()->document().file() != nullptr;
    });
    host().setItemEnabledWhen("Quit", [] { return true; });
    // File > Open and its button: the page shows the chooser.
    host().setItemEnabledWhen("Open", [this] { return chooser_ != nullptr; });
    host().setButtonEnabledWhen("Open", [this] { return chooser_ != nullptr; });
    // Thumbnails, badges and the overlay: the workers' results come to this
    // thread as an event, no more than one every 20 ms.
    pictures_ = std::make_unique<PagePictures>(
        host(), publication_,
        [this] {
            std::lock_guard<std::mutex> lock(wakeMutex_);
            auto now = std::chrono::steady_clock::now();
            if (now - lastWake_ < std::chrono::milliseconds(20)) return;
            lastWake_ = now;
            UserEvent done;
            done.kind = UserEvent::WorkDone;
            events_.push(done);
        },
        PageWorkers::DefaultThreads());
    // View > Overlay: the ink of many pages in the page view.
    host().appendFrontEndItem(
        "View", "O&verlay", "Overlay",
        {[this] { pictures_->setOverlay(!pictures_->overlayOn()); },
         [this] { return host().activeWindow() != nullptr; }, [this] { return pictures_->overlayOn(); }});
    // The dialog's end, whatever ended it, takes it off the page.
    vxwin32::SetDialogObserver([this](const vxwin32::DialogState&, const char* event) {
        if (std::string(event) == "ending") closeModal();
    });
}

ViewerSession::~ViewerSession() {
    vxwin32::SetDialogObserver(nullptr);
    pictures_.reset();  // the workers end before the queue they wake goes
    if (interpreter_.started()) host().setLiveInput(nullptr);
}

std::optional<UserEvent> ViewerSession::waitEvent() {
    while (!UserStopFlag().load() && !events_.closed()) {
        if (std::optional<UserEvent> e = events_.next(kWaitSlice)) return e;
        // A wake-up dropped by a modal loop is made good here.
        if (pictures_->resultsWaiting() || picturesDirty_) {
            UserEvent done;
            done.kind = UserEvent::WorkDone;
            return done;
        }
    }
    return std::nullopt;
}

bool ViewerSession::run() {
    takeWarnings();
    keepPageShowable();
    publish();
    while (!quit_) {
        std::optional<UserEvent> e = waitEvent();
        if (!e) return false;
        handle(*e);
    }
    return true;
}

void ViewerSession::problem(const std::string& message) {
    err_ << "vellora: " << message << "\n";
    // The page shows it without the script's grammar, as a sentence.
    std::string text = message.substr(0, message.find(" (usage: "));
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    message_ = text;
    messageIsError_ = true;
}

void ViewerSession::note(const std::string& message) {
    message_ = message;
    messageIsError_ = false;
}

void ViewerSession::takeWarnings() {
    if (!warnings_) return;
    std::string text;
    for (const std::string& w : warnings_()) text += (text.empty() ? "" : " ") + w;
    if (!text.empty()) note(text);
}

bool ViewerSession::showable(const PageView& view) { return view.devicePixels() <= kMaxViewPixels; }

// A page too large to show at the zoom asked for is shown at the largest
// zoom that can be, with a note, rather than not at all.
void ViewerSession::keepPageShowable() {
    DocWindow* w = host().activeWindow();
    if (w == nullptr || showable(w->view())) return;
    PageView& view = w->view();
    double asked = view.zoom();
    int low = 1, high = static_cast<int>(asked);
    while (low < high) {
        int middle = (low + high + 1) / 2;
        view.setZoom(middle);
        if (showable(view))
            low = middle;
        else
            high = middle - 1;
    }
    view.setZoom(low);
    problem("page " + std::to_string(view.pageIndex() + 1) + " is too large to show at " +
            std::to_string(static_cast<int>(asked)) + "%; it is shown at " + std::to_string(low) +
            "%, the largest zoom it can be shown at");
}

void ViewerSession::command(const std::vector<std::string>& words) {
    try {
        interpreter_.runCommand(words);
    } catch (const std::exception& e) {
        // The host goes on; a plug-in error behind this one is the same story.
        (void)host().takePluginError();
        problem(e.what());
    }
}

void ViewerSession::handle(const UserEvent& e) {
    stop_ = false;
    const std::string keptMessage = message_;
    const bool keptError = messageIsError_;
    message_.clear();
    messageIsError_ = false;
    auto saved = [&](const std::string& name) {
        DocWindow* w = host().activeWindow();
        if (name == "Save" && w != nullptr && !w->document().modified() && !messageIsError_)
            note("Saved " + Utf8OrEscaped(w->name()));
    };
    auto point = [&](const char* verb) {
        return std::vector<std::string>{verb, std::to_string(e.x), std::to_string(e.y), "mods",
                                        std::to_string(e.modifiers)};
    };
    switch (e.kind) {
    case UserEvent::Press:
        // The tool's click entry runs; its drag loops follow the mouse from here.
        press_ = e;
        if (host().activeWindow() != nullptr) command(point("click"));
        break;
    case UserEvent::Hover:
        if (host().activeWindow() != nullptr) command(point("hover"));
        break;
    case UserEvent::Menu:
        if (e.text == "Quit") {
            quit_ = true;
        } else if (e.text == "Close") {
            closeActive();
        } else {
            command({"menu", e.text});
            saved(e.text);
        }
        break;
    case UserEvent::MenuOpen:
        if (MenuObj* menu = host().findMenu(e.text)) evaluateMenu(*menu, 0);
        menuAnswered_ = e.number;
        break;
    case UserEvent::Button:
        command({"button", e.text});
        saved(e.text);
        break;
    case UserEvent::Goto:
        command({"goto", std::to_string(e.number)});
        keepPageShowable();
        break;
    case UserEvent::Zoom:
        command({"zoom", std::to_string(e.number)});
        keepPageShowable();
        break;
    case UserEvent::Activate:
        if (e.number > 0) {
            if (e.number <= static_cast<int>(host().windows().size()))
                command({"activate", host().windows()[static_cast<size_t>(e.number) - 1]->name()});
        } else {
            command({"activate", e.text});
        }
        keepPageShowable();
        break;
    case UserEvent::Close:
        closeActive();
        break;
    case UserEvent::SaveAs:
        saveAs(e.text, e.flag);
        break;
    case UserEvent::Open:
        openFile(e.text);
        break;
    case UserEvent::SetRegion:
        setRegion(e.text);
        break;
    case UserEvent::BoxSettings:
        setBoxSettings(e.text, e.threshold, e.flag);
        break;
    case UserEvent::Quit:
        quit_ = true;
        break;
    case UserEvent::Thumbnails:
    case UserEvent::WorkDone:
        // Not an action: the message stays, and only what changed is sent.
        message_ = keptMessage, messageIsError_ = keptError;
        if (e.kind == UserEvent::Thumbnails) pictures_->want(e.number, e.x);
        publishPictures();
        return;
    case UserEvent::OverlaySet:
        pictures_->setOverlaySet(e.text == "all"    ? PagePictures::OverlaySet::All
                                 : e.text == "odd"  ? PagePictures::OverlaySet::Odd
                                 : e.text == "even" ? PagePictures::OverlaySet::Even
                                                    : PagePictures::OverlaySet::SameSize);
        break;
    default:
        // Moves, releases and answers with no loop waiting for them, and
        // Stop with no run in progress.
        return;
    }
    takeWarnings();
    pictures_->update(true);
    publish();
}

void ViewerSession::closeActive() {
    DocWindow* w = host().activeWindow();
    if (w == nullptr) return;
    try {
        (void)host().closeWindowAsking(*w);
    } catch (const std::exception& e) {
        problem(e.what());
    }
}

void ViewerSession::saveAs(const std::string& name, bool replace) {
    DocWindow* w = host().activeWindow();
    if (w == nullptr) return;
    if (std::string why = FileNameProblem(name); !why.empty()) return problem("Save As: " + why);
    FileRef* file = w->document().file();
    if (file == nullptr) return problem("Save As: the document has no file whose directory it could be saved in");
    std::filesystem::path target = std::filesystem::path(file->path).parent_path() / name;
    std::error_code ec;
    bool exists = std::filesystem::exists(std::filesystem::symlink_status(target, ec));
    if (exists && !replace && !host().confirm("\"" + name + "\" already exists. Replace it?")) return;
    try {
        host().saveDocument(w->document(), target.string(), SaveMode::Full);
        err_ << "saved: " << target.string() << "\n";
        note("Saved a copy as " + Utf8OrEscaped(name));
    } catch (const std::exception& e) {
        problem(e.what());
    }
}

void ViewerSession::openFile(const std::string& relative) {
    if (chooser_ == nullptr) return problem("Open: this viewer has no file chooser");
    auto found = chooser_->resolve(relative);
    if (auto* why = std::get_if<std::string>(&found)) return problem("Open: " + *why);
    const std::filesystem::path& path = std::get<std::filesystem::path>(found);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return problem("Open: \"" + relative + "\" is not a file");
    command({"open", path.string()});
    if (messageIsError_) return;
    command({"zoom", std::to_string(static_cast<int>(openZoom_))});
    err_ << "opened: " << path.string() << "\n";
}

// ---- The modal loops ------------------------------------------------------------

void ViewerSession::openModal(Modal modal) {
    modal_ = std::move(modal);
    publishState();
}

void ViewerSession::closeModal() {
    if (!modal_) return;
    modal_.reset();
    publishState();
}

PointerStep ViewerSession::nextPointerStep() {
    if (!pointerSteps_.empty()) {
        PointerStep step = pointerSteps_.front();
        pointerSteps_.pop_front();
        return step;
    }
    while (std::optional<UserEvent> e = waitEvent()) {
        if (e->kind == UserEvent::Move)
            return PointerStep{static_cast<int16_t>(e->x), static_cast<int16_t>(e->y), e->modifiers, false};
        // A second press means the release went missing: it ends the drag there.
        if (e->kind == UserEvent::Release || e->kind == UserEvent::Press)
            return PointerStep{static_cast<int16_t>(e->x), static_cast<int16_t>(e->y), e->modifiers, true};
        // The page that held the button is gone: the drag is cancelled by a
        // release where it began, which draws no region and moves no corner.
        if (e->kind == UserEvent::PageGone)
            return PointerStep{static_cast<int16_t>(press_.x), static_cast<int16_t>(press_.y), press_.modifiers, true};
    }
    // The person is gone: the drag ends where the rubber band is.
    PageView* view = host().activeWindow() ? &host().activeWindow()->view() : nullptr;
    if (view != nullptr && view->rubberBand)
        return PointerStep{view->rubberBand->right, view->rubberBand->bottom, 0, true};
    return PointerStep{0, 0, 0, true};
}

int ViewerSession::answer(const Question& question) {
    openModal(Modal{++modalSerial_, question, std::nullopt});
    int serial = modalSerial_;
    int chosen = CancelButton(question);
    while (std::optional<UserEvent> e = waitEvent()) {
        // An answer meant for an earlier modal (a double click) is not this one's.
        if (e->kind == UserEvent::Answer && e->modal == serial && e->number >= 1 &&
            e->number <= static_cast<int>(question.buttons.size())) {
            chosen = e->number;
            break;
        }
        if (e->kind == UserEvent::DialogKey && e->modal == serial) {
            if (e->text == "enter") chosen = 1;
            break;
        }
        // Stop pressed on a bar the question has just replaced still stops
        // the run, once the question is answered.
        if (e->kind == UserEvent::Stop) stop_ = true;
    }
    closeModal();
    return chosen;
}

std::optional<vxwin32::DialogAction> ViewerSession::nextDialogAction(const vxwin32::DialogState& dialog) {
    // The same dialog keeps its number while it is up; its controls may have changed.
    bool same = modal_ && modal_->dialog && modal_->dialog->window == dialog.window;
    int serial = same ? modal_->serial : ++modalSerial_;
    openModal(Modal{serial, Question{"dialog", dialog.title, {}}, dialog});
    while (std::optional<UserEvent> e = waitEvent()) {
        if (e->modal != serial) continue;
        if (e->kind == UserEvent::DialogClick) {
            bool known = std::any_of(dialog.controls.begin(), dialog.controls.end(),
                                     [&](const vxwin32::ControlState& c) { return c.id == e->number; });
            if (known) return vxwin32::DialogAction{vxwin32::DialogAction::ClickControl, e->number};
        }
        if (e->kind == UserEvent::DialogKey) {
            if (e->text == "escape") return vxwin32::DialogAction{vxwin32::DialogAction::PressEscape, 0};
            if (e->text == "enter") return vxwin32::DialogAction{vxwin32::DialogAction::PressEnter, 0};
            if (e->text == "close") return vxwin32::DialogAction{vxwin32::DialogAction::CloseBox, 0};
        }
    }
    return std::nullopt;
}

bool ViewerSession::stopRequested() {
    // The host is busy: what the person does meanwhile, but Stop, is dropped.
    while (std::optional<UserEvent> e = events_.tryNext())
        if (e->kind == UserEvent::Stop) stop_ = true;
    return stop_;
}

void ViewerSession::showDragFrame() { publishFrame(); }

void ViewerSession::showProgress(const ProgressRecord& record) {
    bool now = true;
    switch (record.event) {
    case ProgressEvent::Begin:
        progress_ = Progress{true, 0, 0};
        break;
    case ProgressEvent::End:
        progress_.shown = false;
        break;
    case ProgressEvent::Duration:
        progress_.duration = record.value;
        break;
    case ProgressEvent::Value:
        progress_.value = record.value;
        // A bar needs no more than 25 pictures a second.
        now = std::chrono::steady_clock::now() - lastProgressPublish_ > std::chrono::milliseconds(40);
        break;
    }
    if (!now) return;
    lastProgressPublish_ = std::chrono::steady_clock::now();
    publishState();
}

}  // namespace vellora::viewer
