#include "capture/LinkCapture.h"

#include "capture/CellTexts.h"

#include <utility>

namespace corvix {

LinkCapture::StartId LinkCapture::Start(CaptureJob job)
{
    job_ = std::move(job);
    capturing_ = true;
    ticks_ = 0;
    emptyDownloads_ = 0;
    pageSpent_ = false;
    reloaded_ = false;
    pricelessPage_ = false;
    declaredOut_ = false;
    return ++starts_;
}

CaptureAnswer LinkCapture::Finish(std::string result)
{
    // One result per link: the first one ends it.
    capturing_ = false;
    CaptureAnswer answer;
    answer.result = std::move(result);
    return answer;
}

std::string LinkCapture::NoPriceResult() const
{
    return declaredOut_ ? OutOfStockText() : FailureText();
}

void LinkCapture::Note(const PageReading &page)
{
    if (!page.hasDocument)
        return;
    if (page.price.empty())
        pricelessPage_ = true;
    if (page.declared)
        declaredOut_ = *page.declared == Availability::OutOfStock;
}

CaptureAnswer LinkCapture::Tick()
{
    if (!capturing_)
        return {};
    if (ticks_ < kLastTick) {
        ++ticks_;
        CaptureAnswer answer;
        answer.showStatus = true;
        return answer;
    }
    // The page is still loading or running whatever held it up.
    pageSpent_ = true;
    return Finish(NoPriceResult());
}

CaptureAnswer LinkCapture::Look(StartId start, const PageReading &page)
{
    if (Stale(start))
        return {};
    Note(page);
    if (page.price.empty())
        return {};
    return Finish(page.price);
}

CaptureAnswer LinkCapture::DownloadComplete(StartId start, const PageReading &page)
{
    if (Stale(start))
        return {};
    Note(page);
    if (!page.price.empty())
        return Finish(page.price);
    CaptureAnswer answer;
    answer.clearCell = true;
    // Without a document there is no page yet: it neither counts nor fails.
    if (!page.hasDocument)
        return answer;
    // The failing event is counted too, as every empty one is.
    if (emptyDownloads_++ >= kLastEmptyDownload) {
        answer.result = NoPriceResult();
        capturing_ = false;
    }
    return answer;
}

void LinkCapture::End()
{
    // A job without a link loaded nothing that could still be busy.
    if (capturing_ && !job_.link.empty())
        pageSpent_ = true;
    capturing_ = false;
}

CaptureAnswer LinkCapture::RendererLost()
{
    pageSpent_ = true;
    if (!capturing_)
        return {};
    if (reloaded_)
        return Finish(FailureText());
    reloaded_ = true;
    declaredOut_ = false;
    ticks_ = 0;
    emptyDownloads_ = 0;
    ++starts_; // whatever the lost page still answers belongs to no link
    CaptureAnswer answer;
    answer.showStatus = true;
    answer.reload = true;
    return answer;
}

bool LinkCapture::AskStop()
{
    if (stopAsked_)
        return false;
    stopAsked_ = true;
    return true;
}

} // namespace corvix
