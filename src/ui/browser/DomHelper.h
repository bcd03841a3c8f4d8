#pragma once
// The document helper: reads the page of the capture browser it is attached to.
// The engine answers only asynchronously, so a handler asks once per event for a
// DomSnapshot holding everything that event's steps need (the page source, the
// elements of a rule) and continues in the callback. The snapshot comes from one
// script run, so its parts belong to one document, and only ever to the document
// of the browser's current navigation: a page still showing the previous link
// gives a snapshot without a document.
#include "support/DomSnapshot.h"

#include <QPointer>

#include <functional>

namespace corvix {

class BrowserView;

class DomHelper {
public:
    // Reads from browser from now on. True when the browser has been sent to a page
    // and its renderer is alive (whether that page has a document yet is for the
    // snapshot to say). nullptr detaches and gives false.
    bool AttachToWindow(BrowserView *browser);
    BrowserView *Window() const { return window_.data(); }

    using SnapshotDone = std::function<void(const DomSnapshot &)>;
    // Reads what request names from the attached browser's current document and
    // calls done with it, later, on the UI thread. done is not called once context
    // (when given) has been destroyed. Without an attached browser, or when the browser holds no
    // document of its current navigation, the snapshot has no document.
    void TakeSnapshot(const DomRequest &request, QObject *context, SnapshotDone done) const;

private:
    QPointer<BrowserView> window_;
};

// The program's one document helper.
DomHelper &SharedDomHelper();

} // namespace corvix
