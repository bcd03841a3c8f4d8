// The line the capture without a window prints for each link.
#include "app/HeadlessCapture.h"
#include "capture/CaptureJob.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

using namespace corvix;

TEST(CapturedLinkLine, NamesTheEarlierPriceOfAChangedOne)
{
    CaptureJob job;
    job.product = Gbk("商品");
    job.shop = Gbk("商城");
    const struct {
        const char *text;
        PriceChangeMark mark;
        const char *line;
    } cases[] = {
        {"5699.00", {PriceChange::Higher, "5499.00"}, "[3/12] 商品 | 商城 | 5699.00 ↑ 上次 5499.00 | 0.31 s"},
        {"5299.00", {PriceChange::Lower, "5499.00"}, "[3/12] 商品 | 商城 | 5299.00 ↓ 上次 5499.00 | 0.31 s"},
        {"5499", {PriceChange::Same, "5499.00"}, "[3/12] 商品 | 商城 | 5499 | 0.31 s"},
        {"5499", {}, "[3/12] 商品 | 商城 | 5499 | 0.31 s"},
        {"", {}, "[3/12] 商品 | 商城 | 获取失败 | 0.31 s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CapturedLinkLine(3, 12, job, Gbk(c.text), {c.mark.change, Gbk(c.mark.previousText)}, 0.306).toStdString(),
                  c.line);
}
