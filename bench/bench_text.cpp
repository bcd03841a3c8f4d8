// Text primitives on shop-page-sized GBK texts. Targets: FindText and
// TextBetween within 3x of std::string_view::find for the same search;
// ToLowerText within 2x of a plain byte loop; StripPriceText of 1 MB markup
// with 20,000 tags under 50 ms.
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace corvix;

namespace {

// About 2 MB of a product listing page: markup, Chinese names and prices, a
// script block, and the price marker of the rule near the very end.
const std::string &ShopPage()
{
    static const std::string page = [] {
        std::mt19937 rng(7);
        const std::string names[] = {Gbk("华为手机 Mate 60 Pro 12GB+512GB 雅川青"), Gbk("小米电视 65英寸 4K超高清"),
                                     Gbk("联想笔记本电脑 拯救者Y9000P 乗風"), Gbk("美的空调 大1匹 新一级能效 變頻"),
                                     Gbk("农夫山泉 饮用天然水 550ml*24瓶 整箱")};
        std::string p = "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>" + Gbk("商城 - 正品低价") +
                        "</title><script>var n=0;for(var i=0;i<10;i++){n+=i;}</script></head><body>";
        int item = 0;
        while (p.size() < (2u << 20) - 400) {
            const std::string &name = names[rng() % 5];
            p += "<div class=\"goods-item\" data-sku=\"" + std::to_string(100000 + item) +
                 "\"><a href=\"https://item.shop.example.com/" + std::to_string(item) +
                 ".html\" target=\"_blank\"><img src=\"//img.shop.example.com/g/" + std::to_string(item) +
                 ".jpg\" alt=\"" + name + "\"></a><p class=\"goods-name\">" + name + "</p><span class=\"price\">" +
                 Gbk("￥") + std::to_string(rng() % 9000 + 10) + ".00</span><span class=\"tag\">" +
                 Gbk("自营 满减 包邮") + "</span></div>\r\n";
            ++item;
        }
        p += "<div class=\"summary\"><em class=\"price-final\">" + Gbk("到手价：￥") + "4999.00</em></div></body></html>";
        return p;
    }();
    return page;
}

const std::string kLeft = "<em class=\"price-final\">";
const std::string kRight = "</em>";

void BM_StringViewFind_Ascii(benchmark::State &state)
{
    const std::string_view page = ShopPage();
    for (auto _ : state)
        benchmark::DoNotOptimize(page.find(kLeft));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_StringViewFind_Ascii);

void BM_FindText_Ascii(benchmark::State &state)
{
    const std::string &page = ShopPage();
    for (auto _ : state)
        benchmark::DoNotOptimize(FindText(page, kLeft));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_FindText_Ascii);

// A Chinese marker: its first byte is a lead byte that occurs all over the page.
void BM_StringViewFind_Chinese(benchmark::State &state)
{
    const std::string_view page = ShopPage();
    const std::string what = Gbk("到手价：");
    for (auto _ : state)
        benchmark::DoNotOptimize(page.find(what));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_StringViewFind_Chinese);

void BM_FindText_Chinese(benchmark::State &state)
{
    const std::string &page = ShopPage();
    const std::string what = Gbk("到手价：");
    for (auto _ : state)
        benchmark::DoNotOptimize(FindText(page, what));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_FindText_Chinese);

void BM_StringViewFind_Between(benchmark::State &state)
{
    const std::string_view page = ShopPage();
    for (auto _ : state) {
        const size_t l = page.find(kLeft);
        const size_t r = page.find(kRight, l + kLeft.size());
        benchmark::DoNotOptimize(std::string(page.substr(l + kLeft.size(), r - l - kLeft.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_StringViewFind_Between);

void BM_TextBetween(benchmark::State &state)
{
    const std::string &page = ShopPage();
    for (auto _ : state)
        benchmark::DoNotOptimize(TextBetween(page, kLeft, kRight));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_TextBetween);

void BM_PlainByteLoop_Lower(benchmark::State &state)
{
    const std::string &page = ShopPage();
    for (auto _ : state) {
        std::string out(page.size(), '\0');
        for (size_t i = 0; i < page.size(); ++i) {
            const char c = page[i];
            out[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_PlainByteLoop_Lower);

void BM_ToLowerText(benchmark::State &state)
{
    const std::string &page = ShopPage();
    for (auto _ : state)
        benchmark::DoNotOptimize(ToLowerText(page));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_ToLowerText);

// What an element rule on the page's first div yields: about 1 MB of markup
// with 20,000 tags (many repeated, some unique), Chinese text between them.
const std::string &FirstDivMarkup()
{
    static const std::string markup = [] {
        std::string m;
        int tags = 0;
        for (int item = 0; tags < 20000; ++item) {
            m += "<div class=\"cell c" + std::to_string(item % 50) + "\">";
            m += "<span class=\"goods-name\" title=\"" + Gbk("商品") + std::to_string(item) + "\">";
            m += Gbk("华为手机 Mate 60 Pro 12GB+512GB 雅川青 官方旗舰店 正品保障 全国联保 顺丰包邮 七天无理由退换");
            m += "</span><b>" + Gbk("￥") + " " + std::to_string(1000 + item) + ".00</b>&nbsp;";
            m += Gbk("已售") + std::to_string(item * 7) + Gbk("件 好评率99% 店铺评分4.9 发货地北京 库存充足 限时特惠");
            m += "</div>\r\n";
            tags += 6;
        }
        while (m.size() < (1u << 20))
            m += Gbk("页脚说明文字 ");
        return m;
    }();
    return markup;
}

void BM_StripPriceText_1MB_20000Tags(benchmark::State &state)
{
    const std::string &markup = FirstDivMarkup();
    for (auto _ : state)
        benchmark::DoNotOptimize(StripPriceText(markup));
    state.counters["bytes"] = static_cast<double>(markup.size());
    state.counters["tags"] = static_cast<double>(CountOccurrences(markup, "<", true));
}
BENCHMARK(BM_StripPriceText_1MB_20000Tags)->Unit(benchmark::kMillisecond);

// The same with inline scripts whose comparisons put '<' without a '>' before
// the next tag, so that blocks hold several openers and tags join.
void BM_StripPriceText_1MB_WithScripts(benchmark::State &state)
{
    static const std::string markup = [] {
        std::string m;
        int item = 0;
        while (m.size() < (1u << 20)) {
            m += "<div class=\"c" + std::to_string(item % 50) + "\"><span>" + Gbk("商品名称") +
                 std::to_string(item) + "</span><script>for(var i=0;i<n" + std::to_string(item % 7) +
                 ";i++){if(a[i]<b)x+=1;}</script><b>" + Gbk("￥") + std::to_string(item) + ".00</b></div>\r\n";
            ++item;
        }
        return m;
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(StripPriceText(markup));
    state.counters["bytes"] = static_cast<double>(markup.size());
    state.counters["tags"] = static_cast<double>(CountOccurrences(markup, "<", true));
}
BENCHMARK(BM_StripPriceText_1MB_WithScripts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
