// The line the capture without a window prints for each link.
#include "app/HeadlessCapture.h"
#include "capture/CaptureJob.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace corvix;

TEST(CapturedLinkLine, NamesTheEarlierPriceOfAChangedOne)
{
    CaptureJob job;
    job.product = Gbk("商品");
    job.shop = Gbk("商城");
    const std::tuple<const char *, PriceChange, const char *> cases[] = {
        {"5699.00", PriceChange::Higher, "5699.00 ↑ 上次 5499.00"},
        {"5299.00", PriceChange::Lower, "5299.00 ↓ 上次 5499.00"},
        {"5499", PriceChange::Same, "5499"},
        {"", PriceChange::NotCompared, "获取失败"},
    };
    for (const auto &[text, change, line] : cases)
        EXPECT_EQ(CapturedLinkLine(3, 12, job, Gbk(text), {change, Gbk("5499.00")}, 0.306).toStdString(),
                  std::string("[3/12] 商品 | 商城 | ") + line + " | 0.31 s");
}
