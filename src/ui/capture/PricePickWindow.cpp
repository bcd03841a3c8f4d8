#include "ui/capture/PricePickWindow.h"

#include "capture/PriceExtraction.h"
#include "support/Gbk.h"
#include "ui/browser/BrowserView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace corvix {
namespace {

// As the pick of test.txt: the page counts as settled once its document has not
// changed for this long after the load, or at the latest this long after it.
constexpr int kQuietMs = 500;
constexpr int kSettleLimitMs = 3000;
constexpr int kPollMs = 100;

// Runs in the program's own script world: the page's scripts neither see it
// nor stop it. Listeners sit in the capture phase, so the page's own handlers
// and links never see a click while picking. Same-origin frames get the same
// listeners; a frame of another origin is only named when the mouse is over it.
// The outline box is removed before the page is serialised, and the chosen
// element carries the pick attribute only while it is.
const char kPickScript[] = R"JS(
(function () {
  if (window.__corvixPick) return window.__corvixPick.crossFrames;
  var st = window.__corvixPick = { hover: '', note: '', result: null, done: false, boxes: [], crossFrames: 0 };
  var kinds = ['span', 'div', 'input', 'textarea'];
  function text(v) { return v === undefined || v === null ? '' : String(v); }
  function shown(el) {
    var t = el.tagName === 'INPUT' || el.tagName === 'TEXTAREA' ? el.value : el.innerText;
    return text(t).replace(/\s+/g, ' ').trim();
  }
  function finish() {
    st.done = true;
    st.boxes.forEach(function (b) { if (b.parentNode) b.parentNode.removeChild(b); });
  }
  function choose(el, doc) {
    if (st.done || !el || el.nodeType !== 1) return;
    finish();
    var res = { inFrame: doc !== document, text: shown(el), tag: -1, index: -1, elements: [] };
    var kindEl = el;
    while (kindEl && kinds.indexOf(kindEl.tagName.toLowerCase()) === -1) kindEl = kindEl.parentElement;
    if (kindEl && doc.body && doc.body.contains(kindEl)) {
      var tag = kindEl.tagName.toLowerCase(), list = doc.body.getElementsByTagName(tag);
      res.tag = kinds.indexOf(tag);
      // The names the proposals try (and positions, which are numbers). An
      // element's shown text can only equal one of them when its raw text holds
      // it, so only those pay for innerText (a layout) on a page of thousands.
      var names = [kindEl.className, kindEl.getAttribute('name'), kindEl.id, kindEl.title]
                    .map(function (n) { return text(n).toLowerCase(); }).filter(function (n) { return n; });
      function mayShow(e) {
        var raw = text(e.textContent).replace(/\s+/g, ' ').toLowerCase();
        return /^[\d.\s]+$/.test(raw) || names.some(function (n) { return raw.indexOf(n) !== -1; });
      }
      // The elements after it never decide what the finder returns first, and
      // only its own value is ever read.
      for (var i = 0; i < list.length; i++) {
        var e = list[i], own = e === kindEl;
        res.elements.push({ c: text(e.className),
                            t: tag === 'textarea' ? text(e.value) : own || mayShow(e) ? text(e.innerText) : '',
                            n: text(e.getAttribute('name')), i: text(e.id), ti: text(e.title), ty: text(e.type),
                            v: !own ? '' : tag === 'span' || tag === 'div' ? text(e.innerHTML) : text(e.value) });
        if (own) { res.index = i; break; }
      }
    }
    el.setAttribute('data-corvix-pick', '');
    res.outer = el.outerHTML;
    res.source = doc.documentElement.outerHTML;
    el.removeAttribute('data-corvix-pick');
    st.result = res;
  }
  function install(win) {
    var doc = win.document;
    var box = doc.createElement('div');
    box.style.cssText = 'position:fixed;pointer-events:none;z-index:2147483647;display:none;' +
                        'outline:2px solid #d00;background:rgba(220,0,0,0.08);';
    doc.documentElement.appendChild(box);
    st.boxes.push(box);
    doc.addEventListener('mousemove', function (ev) {
      if (st.done) return;
      var el = ev.target;
      if (!el || el.nodeType !== 1) return;
      var r = el.getBoundingClientRect();
      box.style.left = r.left + 'px'; box.style.top = r.top + 'px';
      box.style.width = r.width + 'px'; box.style.height = r.height + 'px'; box.style.display = 'block';
      st.hover = shown(el).slice(0, 120);
      st.note = '';
      if (el.tagName === 'IFRAME' || el.tagName === 'FRAME') {
        try { if (!el.contentDocument) throw 0; } catch (e) { st.note = 'cross'; }
      }
    }, true);
    ['click', 'auxclick', 'dblclick', 'submit'].forEach(function (type) {
      doc.addEventListener(type, function (ev) {
        ev.preventDefault(); ev.stopPropagation(); ev.stopImmediatePropagation();
        if (type === 'click') choose(ev.target, doc);
      }, true);
    });
    doc.addEventListener('mouseup', function () {
      var sel = win.getSelection();
      if (st.done || !sel || sel.isCollapsed || !sel.rangeCount) return;
      var node = sel.getRangeAt(0).commonAncestorContainer;
      choose(node.nodeType === 1 ? node : node.parentElement, doc);
    }, true);
    for (var f = 0; f < win.frames.length; f++) {
      var inner = null;
      try { inner = win.frames[f].document; } catch (e) { /* another origin */ }
      if (inner) install(win.frames[f]); else st.crossFrames++;
    }
  }
  install(window);
  return st.crossFrames;
})()
)JS";

const char kPollScript[] = R"JS(
(function () {
  var st = window.__corvixPick;
  if (!st) return null;
  var r = { hover: st.hover, note: st.note, result: st.result };
  st.result = null;
  return r;
})()
)JS";

PageElement ToPageElement(const QVariantMap &e)
{
    auto gbk = [&](const char *key) { return ToGbk(e.value(QString::fromLatin1(key)).toString()); };
    return {gbk("c"), gbk("t"), gbk("n"), gbk("i"), gbk("ti"), gbk("ty"), gbk("v")};
}

QString RuleText(const Rule &rule)
{
    if (rule.method == RuleMethod::Markers)
        return QStringLiteral("标记：%1 … %2").arg(FromGbk(rule.left), FromGbk(rule.right));
    return QStringLiteral("元素：%1 %2").arg(FromGbk(rule.elementKind), FromGbk(rule.elementName));
}

} // namespace

PricePickWindow::PricePickWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("在页面上选取价格"));
    resize(1000, 720);
    browser_ = new BrowserView(this);
    verifyBrowser_ = new BrowserView(this);
    verifyBrowser_->hide();
    status_ = new QLabel(QStringLiteral("正在打开网页……"), this);
    status_->setObjectName(QStringLiteral("选取状态"));
    status_->setTextFormat(Qt::PlainText);
    verifyLink_ = new QLineEdit(this);
    verifyLink_->setObjectName(QStringLiteral("验证链接"));
    verifyLink_->setPlaceholderText(QStringLiteral("同一商店另一件商品的链接（可不填）"));
    verify_ = new QPushButton(QStringLiteral("验证"), this);
    list_ = new QTableWidget(0, 4, this);
    list_->setObjectName(QStringLiteral("建议规则"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("规则"), QStringLiteral("本页价格"), QStringLiteral("验证链接的价格"), QStringLiteral("说明")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    use_ = new QPushButton(QStringLiteral("使用此规则"), this);

    auto *bottom = new QWidget(this);
    auto *verifyRow = new QHBoxLayout;
    verifyRow->addWidget(new QLabel(QStringLiteral("验证链接："), bottom));
    verifyRow->addWidget(verifyLink_, 1);
    verifyRow->addWidget(verify_);
    verifyRow->addWidget(use_);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 0, 6, 6);
    bottomLayout->addWidget(status_);
    bottomLayout->addLayout(verifyRow);
    bottomLayout->addWidget(list_, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(browser_);
    split->addWidget(bottom);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    // The view asks for no height of its own; without sizes the list takes it all.
    split->setSizes({460, 260});
    split->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    // The page has the keyboard: Escape reaches the window as a shortcut.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);
    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, [this] { loaded_ && !pickReady_ ? WaitForSettledPage() : Poll(); });
    connect(browser_, &BrowserView::DownloadComplete, this, &PricePickWindow::OnPageLoaded);
    connect(verifyBrowser_, &BrowserView::DownloadComplete, this, &PricePickWindow::OnVerifyLoaded);
    connect(verify_, &QPushButton::clicked, this, &PricePickWindow::StartVerify);
    connect(use_, &QPushButton::clicked, this, [this] { UseProposal(list_->currentRow()); });
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { UseProposal(row); });
}

void PricePickWindow::SetRuleChosen(std::function<void(const Rule &)> chosen)
{
    chosen_ = std::move(chosen);
}

void PricePickWindow::StartPick(const std::string &link)
{
    loaded_ = pickReady_ = picked_ = false;
    proposals_.clear();
    ShowProposals();
    helper_.AttachToWindow(browser_);
    browser_->Navigate(FromGbk(link));
    helper_.AttachToWindow(browser_);
}

void PricePickWindow::OnPageLoaded()
{
    if (loaded_)
        return;
    loaded_ = true;
    settleClock_.start();
    status_->setText(QStringLiteral("等待网页脚本运行完毕……"));
    poll_->start();
}

void PricePickWindow::WaitForSettledPage()
{
    DomRequest request;
    request.quietTime = true;
    helper_.TakeSnapshot(request, this, [this](const DomSnapshot &page) {
        if (pickReady_ || !page.hasDocument)
            return;
        if (page.quietMs >= kQuietMs || settleClock_.elapsed() >= kSettleLimitMs)
            InstallPick();
    });
}

void PricePickWindow::InstallPick()
{
    pickReady_ = true;
    browser_->RunInDocument(QString::fromLatin1(kPickScript), [this](const QVariant &crossFrames, bool current) {
        if (!current) {
            status_->setText(QStringLiteral("网页没有可读取的内容"));
            return;
        }
        QString text = QStringLiteral("移动鼠标指向价格，单击（或用鼠标选中文字）选定；Esc 取消");
        if (const int frames = crossFrames.toInt(); frames > 0)
            text += QStringLiteral("。页面上有 %1 个来自其他网站的框架，程序读取不到其中的价格").arg(frames);
        status_->setText(text);
    });
}

void PricePickWindow::Poll()
{
    if (picked_ || !pickReady_)
        return;
    browser_->RunInDocument(QString::fromLatin1(kPollScript), [this](const QVariant &value, bool current) {
        if (!current || picked_)
            return;
        const QVariantMap state = value.toMap();
        const QVariantMap result = state.value(QStringLiteral("result")).toMap();
        if (!result.isEmpty()) {
            OnPicked(result);
            return;
        }
        if (state.value(QStringLiteral("note")).toString() == QLatin1String("cross"))
            status_->setText(QStringLiteral("这个框架来自其他网站，程序读取不到其中的价格"));
        else if (const QString hover = state.value(QStringLiteral("hover")).toString(); !hover.isEmpty())
            status_->setText(QStringLiteral("指向：") + hover);
    });
}

void PricePickWindow::OnPicked(const QVariantMap &result)
{
    picked_ = true;
    poll_->stop();
    if (result.value(QStringLiteral("inFrame")).toBool()) {
        status_->setText(QStringLiteral("价格在框架中：采集只读取主页面，无法为它建议规则"));
        return;
    }
    PickedNode node;
    node.tag = result.value(QStringLiteral("tag")).toInt();
    node.text = ToGbk(result.value(QStringLiteral("text")).toString());
    node.outerHtml = ToGbk(result.value(QStringLiteral("outer")).toString());
    if (node.tag >= 0 && node.tag < static_cast<int>(kPageTags)) {
        for (const QVariant &e : result.value(QStringLiteral("elements")).toList())
            node.elements[static_cast<size_t>(node.tag)].push_back(ToPageElement(e.toMap()));
        node.index = result.value(QStringLiteral("index")).toInt();
    }
    DomSnapshot page;
    page.hasDocument = true;
    page.pageSource = ToGbk(result.value(QStringLiteral("source")).toString());
    proposals_ = ProposeRules(page, node);
    status_->setText(proposals_.empty()
                         ? QStringLiteral("选定：%1。没有能读出这个价格的规则").arg(FromGbk(node.text))
                         : QStringLiteral("选定：%1。双击或按“使用此规则”把规则填入编辑框").arg(FromGbk(node.text)));
    ShowProposals();
    if (!verifyLink_->text().trimmed().isEmpty())
        StartVerify();
}

void PricePickWindow::StartVerify()
{
    const QString link = verifyLink_->text().trimmed();
    if (link.isEmpty() || proposals_.empty())
        return;
    verifying_ = true;
    verifyClock_.invalidate();
    status_->setText(QStringLiteral("正在用验证链接检查……"));
    verifyBrowser_->Navigate(link);
}

void PricePickWindow::OnVerifyLoaded()
{
    if (!verifying_)
        return;
    if (!verifyClock_.isValid())
        verifyClock_.start();
    verifyHelper_.AttachToWindow(verifyBrowser_);
    DomRequest request = RequestForProposals(proposals_);
    request.quietTime = true;
    verifyHelper_.TakeSnapshot(request, this, [this](const DomSnapshot &page) {
        if (!verifying_)
            return;
        if (page.hasDocument && page.quietMs < kQuietMs && verifyClock_.elapsed() < kSettleLimitMs) {
            QTimer::singleShot(kPollMs, this, &PricePickWindow::OnVerifyLoaded);
            return;
        }
        verifying_ = false;
        CheckOnSecondPage(proposals_, page);
        status_->setText(QStringLiteral("已在验证链接上检查：取不到价格的规则排在最后"));
        ShowProposals();
    });
}

void PricePickWindow::ShowProposals()
{
    list_->setRowCount(static_cast<int>(proposals_.size()));
    for (int row = 0; row < list_->rowCount(); ++row) {
        const RuleProposal &p = proposals_[static_cast<size_t>(row)];
        const QString second = !p.checkedOnSecond ? QString()
                               : p.holdsOnSecond  ? FromGbk(p.secondPrice)
                                                  : QStringLiteral("取不到：") + FromGbk(p.secondPrice);
        const QString cells[] = {RuleText(p.rule), FromGbk(p.price), second, FromGbk(p.reason)};
        for (int column = 0; column < 4; ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (p.checkedOnSecond && !p.holdsOnSecond)
                item->setForeground(Qt::gray);
            list_->setItem(row, column, item);
        }
    }
    list_->resizeColumnsToContents();
    if (!proposals_.empty())
        list_->selectRow(0);
}

void PricePickWindow::UseProposal(int row)
{
    if (row < 0 || row >= static_cast<int>(proposals_.size()) || !chosen_)
        return;
    chosen_(proposals_[static_cast<size_t>(row)].rule);
    accept();
}

} // namespace corvix
