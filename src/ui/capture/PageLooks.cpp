#include "ui/capture/PageLooks.h"

#include <utility>

namespace corvix {
namespace {

constexpr int kLookIntervalMs = 100;

} // namespace

PageLooks::PageLooks(std::function<bool()> look, QObject *parent) : QObject(parent), look_(std::move(look))
{
    timer_.setInterval(kLookIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &PageLooks::Ask);
}

void PageLooks::Start()
{
    timer_.start();
}

void PageLooks::Forget()
{
    pending_ = false;
    again_ = false;
}

void PageLooks::Stop()
{
    timer_.stop();
}

void PageLooks::Ask()
{
    if (pending_) {
        again_ = true;
        return;
    }
    if (!look_()) {
        timer_.stop();
        return;
    }
    pending_ = true;
}

void PageLooks::Done()
{
    pending_ = false;
    if (again_) {
        again_ = false;
        Ask();
    }
}

} // namespace corvix
