// SPDX-License-Identifier: AGPL-3.0-or-later
// What the person does on the page, as the server hands it to the host's
// UI thread: one queue, many producers (the server's threads), one consumer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace vellora::viewer {

struct UserEvent {
    enum Kind {
        Press,        // mouse button down on the page view at (x, y)
        Move,         // mouse moved with the button down
        Release,      // mouse button up
        Hover,        // mouse moved with no button down
        Menu,         // choose the menu item `text`
        MenuOpen,     // the menu `text` opens: its items' tests are asked
        Button,       // press the toolbar button `text`
        Answer,       // the modal's button `number` (from 1)
        DialogClick,  // the dialog's control `number`
        DialogKey,    // "escape", "enter" or "close" (the close box) on the modal
        Stop,         // the progress monitor's Stop
        Goto,         // show page `number` (from 1)
        Zoom,         // zoom to `number` percent
        Activate,     // bring the window `text` (or number `number`, from 1) to the front
        Close,        // close the active window, asking about unsaved changes
        SaveAs,       // save the active document as `text` beside its file; `flag`: replace
        Open,         // open the file `text`, relative to the chooser's root, in a new window
        SetRegion,    // drag out the region `text` ("L B R T", page units) with the active tool
        BoxSettings,  // margin `text` ("M" or "L B R T", points), ink threshold `threshold`
                      // (percent), dark edges ignored when `flag`
        Quit,
        PageGone,    // a page went away or a new one loaded: a drag it held ends, cancelled
        Thumbnails,  // the page's list shows pages `number` to `x` (from 1)
        OverlaySet,  // the overlay's pages: `text` is "same", "all", "odd" or "even"
        WorkDone,    // the workers have results (never from the page)
    } kind = Hover;
    int x = 0, y = 0;
    uint16_t modifiers = 0;
    int number = 0;
    std::string text;
    std::string threshold;
    bool flag = false;
    int modal = 0;  // for answers: the number of the modal they answer
};

class UserEventQueue {
public:
    // Consecutive moves (and hovers) fold into the newest: the host follows
    // the mouse to where it is, not where it was.
    void push(UserEvent event);
    // The next event, waiting up to `timeout`; nullopt when none came or the
    // queue is closed.
    std::optional<UserEvent> next(std::chrono::milliseconds timeout);
    std::optional<UserEvent> tryNext();
    void close();
    bool closed() const;
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<UserEvent> events_;
    bool closed_ = false;
};

}  // namespace vellora::viewer
