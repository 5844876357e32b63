// SPDX-License-Identifier: AGPL-3.0-or-later
// The viewer's side of the host's UI thread: takes the person's actions off
// the event queue and runs them as the host's own commands, answers every
// modal loop from the same queue, and publishes what the page shows. The
// module and the host model are touched from this thread only.
#pragma once

#include "input/live_input.h"
#include "script/interpreter.h"
#include "viewer/file_chooser.h"
#include "viewer/page_pictures.h"
#include "viewer/publication.h"
#include "viewer/user_events.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vellora::viewer {

class ViewerSession : public LiveInput {
public:
    ViewerSession(Interpreter& interpreter, UserEventQueue& events, Publication& publication, std::ostream& err);
    ~ViewerSession() override;
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    // Serves the person until File > Quit (true) or the user's stop request
    // or a closed queue (false).
    bool run();
    // Publishes the state and the page view now (also before run starts).
    void publish();
    // Whether the viewer can show the page at its zoom.
    static bool showable(const PageView& view);
    // File > Open opens files under the chooser's root, at this zoom.
    void setFileChooser(const FileChooser* chooser, double zoom) { chooser_ = chooser, openZoom_ = zoom; }
    // Runs one event as run() does; for tests and the benchmark.
    void handle(const UserEvent& event);
    // Where the host's warnings (a file repaired on opening) are taken
    // from: each call gives those printed since the last.
    void setWarningSource(std::function<std::vector<std::string>()> source) { warnings_ = std::move(source); }

    // ---- LiveInput
    PointerStep nextPointerStep() override;
    int answer(const Question& question) override;
    std::optional<vxwin32::DialogAction> nextDialogAction(const vxwin32::DialogState& dialog) override;
    bool stopRequested() override;
    void showDragFrame() override;
    void showProgress(const ProgressRecord& record) override;

private:
    struct Modal {
        int serial = 0;
        Question question;
        std::optional<vxwin32::DialogState> dialog;
    };

    FrontEndSide& host() { return interpreter_.frontEnd(); }
    // The next event, or nullopt once the person is gone (stop request, closed queue).
    std::optional<UserEvent> waitEvent();
    void command(const std::vector<std::string>& words);
    // For the status bar: an error (also on standard error) or a note.
    void problem(const std::string& message);
    void note(const std::string& message);
    void takeWarnings();
    void keepPageShowable();
    void closeActive();
    void saveAs(const std::string& name, bool replace);
    void openFile(const std::string& relative);
    // The region panel's Set (region_panel.cpp).
    void setRegion(const std::string& text);
    // The box settings panel's Apply (box_settings_panel.cpp).
    void setBoxSettings(const std::string& margin, const std::string& threshold, bool ignoreDarkEdges);
    void openModal(Modal modal);
    void closeModal();

    // Publishing (session_publish.cpp).
    void publishState();
    void publishFrame();
    // Takes the workers' results; publishes what they changed.
    void publishPictures();
    std::string chromeJson();
    std::string menuJson(MenuObj& menu, int depth);
    std::string liveJson();
    std::string pageImageKey(PageView& view);
    std::string bitmapUrl(void* bitmap);
    std::string cursorJson();
    void evaluateMenu(MenuObj& menu, int depth);

    Interpreter& interpreter_;
    UserEventQueue& events_;
    Publication& publication_;
    std::ostream& err_;

    UserEvent press_;  // the press the drag in progress began with
    const FileChooser* chooser_ = nullptr;
    double openZoom_ = 100.0;
    std::deque<PointerStep> pointerSteps_;  // a drag the host makes itself, before the mouse's
    std::optional<Modal> modal_;
    int modalSerial_ = 0;
    bool stop_ = false;
    bool quit_ = false;
    std::string message_;
    bool messageIsError_ = false;
    std::function<std::vector<std::string>()> warnings_;
    int menuAnswered_ = 0;
    std::map<const MenuItemObj*, std::pair<bool, bool>> menuStates_;  // enabled, marked at the last opening
    std::string chrome_;  // menus, toolbar, windows and view, as of the last idle moment
    struct Progress {
        bool shown = false;
        int value = 0, duration = 0;
    } progress_;
    std::chrono::steady_clock::time_point lastProgressPublish_{};
    std::map<const Document*, int> documentIds_;
    std::map<std::string, std::string> imageKeys_;  // what a rendering depends on -> its key
    std::unique_ptr<PagePictures> pictures_;        // thumbnails, badges, overlay
    std::string picturesPublished_;                 // their state as last published
    bool picturesDirty_ = false;                    // changed since, not published yet
    std::chrono::steady_clock::time_point lastPicturesPublish_{};
    std::chrono::steady_clock::time_point lastWake_{};
    std::mutex wakeMutex_;
};

}  // namespace vellora::viewer
