#include "capture/CellTexts.h"

#include "support/Gbk.h"

namespace corvix {

const std::string &FailureText()
{
    static const std::string text = Gbk("获取失败");
    return text;
}

const std::string &BadLinkText()
{
    static const std::string text = Gbk("链接不正确");
    return text;
}

const std::string &NoLinkText()
{
    static const std::string text = Gbk("—");
    return text;
}

} // namespace corvix
