#pragma once
// Looks at a page between the browser's events, every 100 ms, so that a price
// is taken as soon as it is in the page (page scripts often put it in after the
// load, when no event comes). One look is under way at a time: looks asked for
// meanwhile become one look after it, so that a slow page (a large source) is
// never asked faster than it answers.
#include <QObject>
#include <QTimer>

#include <functional>

namespace corvix {

class PageLooks : public QObject {
    Q_OBJECT
public:
    // look starts one look and says so, or says there is nothing left to look
    // for (the looks then stop until Start). A started look ends with Done.
    PageLooks(std::function<bool()> look, QObject *parent);

    // Looks every 100 ms from now on.
    void Start();
    // A look under way is no longer waited for: its answer is stale.
    void Forget();
    void Stop();
    // An event asks for a look now.
    void Ask();
    // The look under way has its answer.
    void Done();
    // Looks go on, or one is under way.
    bool Active() const { return timer_.isActive() || pending_; }

private:
    std::function<bool()> look_;
    QTimer timer_;
    bool pending_ = false; // a look is under way
    bool again_ = false;   // a look was asked for meanwhile
};

} // namespace corvix
