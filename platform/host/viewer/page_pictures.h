// SPDX-License-Identifier: AGPL-3.0-or-later
// What the viewer shows of a document's pages besides the page view:
// - thumbnails: each page as a page view of the host at a small zoom (its
//   rendering, the crop box with the rest greyed, and whatever the
//   page-view drawing routines draw on it), only for the pages the page
//   asks for, rendered on the workers;
// - the pages whose marks lie outside their crop boxes (badges);
// - the overlay: the ink of a set of pages summed into one picture, which
//   the page view shows instead of the page's rendering.
// Used on the host's UI thread only.
#pragma once

#include "model/host.h"
#include "viewer/page_workers.h"
#include "viewer/publication.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellora::viewer {

// The plug-in's outlines on views of the window's document, page by page
// (page index and zoom), each drawn as if it were the only view drawn
// after the window's own. They are drawn in a copy of this process, so the
// drawing routines change nothing here (a routine that carries the
// person's region to the page drawn keeps it where the window shows it).
std::map<int, std::vector<DrawOp>> DrawPagesAside(FrontEndSide& host, DocWindow& window,
                                                  const std::vector<std::pair<int, double>>& pages);

class PagePictures {
public:
    enum class OverlaySet { SameSize, All, Odd, Even };

    PagePictures(FrontEndSide& host, Publication& publication, std::function<void()> wake, int threads);

    // The pages (from 1) the page's list shows; those around them are drawn
    // ahead.
    void want(int first, int last);
    void setOverlay(bool on) { overlayOn_ = on; }
    bool overlayOn() const { return overlayOn_; }
    void setOverlaySet(OverlaySet set) { overlaySet_ = set; }
    // Takes the workers' results and asks them for what the active window
    // needs. `acted`: a person's action ran, so the drawing routines may
    // draw otherwise now.
    void update(bool acted);
    bool resultsWaiting() const { return workers_.pending() > 0 || waiting_; }
    // The state's "pages" member for the active window.
    std::string json();
    // The picture the view shows instead of the page's rendering while the
    // overlay is on (a key of the publication's images); empty otherwise.
    std::string overlayImage(PageView& view);
    // True when the overlay's picture changed since the last frame.
    bool overlayChanged() const { return overlayChanged_; }
    // The overlay's progress for the frame: pages summed, of how many.
    std::pair<int, int> overlayProgress() const;
    // How many pages' ink the overlay's last picture shows.
    int overlayShown() const { return overlay_.shownPages; }
    // How many pages of the active document have marks outside their crop
    // box, and how many were checked so far.
    std::pair<int, int> marksOutside();

private:
    struct Thumb {
        std::string depends;  // what its rendering depends on
        std::optional<Raster> raster;
        bool queued = false;
        uint64_t opsEpoch = 0;
        std::string opsDepends;
        std::vector<DrawOp> ops;
        bool opsKnown = false;
        std::string published;  // what its picture was made of
        std::string url;
        int width = 0, height = 0;
    };
    struct Doc {
        int id = 0;
        std::weak_ptr<Document> document;
        std::vector<signed char> marksState;  // 0 unknown, 1 none, 2 some
        std::vector<FixedRect> marks;
        int marksFound = 0;
        bool marksQueued = false;
        std::map<int, Thumb> thumbs;
    };
    struct Overlay {
        std::string depends;  // the set, the reference page's size and rotation
        std::shared_ptr<InkSum> sum;
        ViewGeometry grid{};  // the reference page's view, no margin
        int total = 0;
        std::string made;    // what the last picture was made of
        std::string key;     // its image
        int shownPages = 0;  // the pages its ink is of
        std::chrono::steady_clock::time_point lastPicture{};
    };

    Doc* activeDoc();
    double thumbZoom(const DocumentBackend& b, int page) const;
    void queueThumbs(Doc& doc, DocWindow& window);
    void drawOutlines(Doc& doc, DocWindow& window);
    void publishThumbs(Doc& doc);
    void startOverlay(Doc& doc, PageView& view);
    std::vector<int> overlayPages(const DocumentBackend& b, int current) const;

    FrontEndSide& host_;
    Publication& publication_;
    PageWorkers workers_;
    std::map<const Document*, Doc> docs_;
    int nextDocId_ = 1;
    int first_ = 1, last_ = 0;  // pages the list shows
    std::string queuedFor_;     // what the thumbnail lanes were last made for
    uint64_t opsEpoch_ = 1;
    bool waiting_ = false;  // results taken that still need a picture made
    bool overlayOn_ = false;
    OverlaySet overlaySet_ = OverlaySet::SameSize;
    Overlay overlay_;
    bool overlayChanged_ = false;
    int nextKey_ = 1;
};

}  // namespace vellora::viewer
