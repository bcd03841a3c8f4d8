#include "ui/browser/DomHelper.h"

#include "ui/browser/BrowserView.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace corvix {
namespace {

// The finder rules, in one place. Each reader walks the elements of its tag below
// the body in document order; the type filter (for inputs) decides which of them
// count; each element that counts is compared with the name property by property,
// in the reader's order, exactly (case and all). On a match the element is the
// result unless matches are still to be skipped; an element that does not match
// is the result when the count of counted elements has reached the position
// read from the name. The "type" of an input passes when it occurs anywhere in
// the reader's type list text; it is read as the older browser reported it
// (LegacyInputType), so an input of type number or tel is a text input.
//
// "name" is read as the element's name attribute for every kind: inputs and text
// areas have it as a property anyway, and for span and div (which have no such
// property) the attribute is what the name of such an element always meant.
// The inner text of a text area is its text as shown (its value); the engine's
// own innerText of a text area is always empty.
const char kReadScript[] = R"JS(
(function (request) {
  var readers = {
    GetTextInputValue:   { tag: 'input', types: 'text|password|file', props: ['name', 'id', 'title'], read: 'value' },
    GetHiddenInputValue: { tag: 'input', types: 'hidden', props: ['name', 'id', 'title'], read: 'value' },
    GetTextAreaValue:    { tag: 'textarea', props: ['innerText', 'className', 'id', 'title', 'name'], read: 'value' },
    GetDivInnerHtml:     { tag: 'div', props: ['className', 'innerText', 'name', 'id', 'title'], read: 'innerHTML' },
    GetSpanInnerHtml:    { tag: 'span', props: ['className', 'innerText', 'name', 'id', 'title'], read: 'innerHTML' }
  };
  function text(value) { return value === undefined || value === null ? '' : String(value); }
  function inputType(element) {
    var type = text(element.type);
    return request.legacyTypes.indexOf(type) === -1 ? 'text' : type;
  }
  function property(element, name) {
    if (name === 'name') return text(element.getAttribute('name'));
    if (name === 'innerText' && element.tagName === 'TEXTAREA') return text(element.value);
    return text(element[name]);
  }
  function find(reader, name, position, skip) {
    if (!document.body) return null;
    var elements = document.body.getElementsByTagName(reader.tag), counted = 0;
    for (var i = 0; i < elements.length; i++) {
      var element = elements[i];
      if (reader.types !== undefined && reader.types.indexOf(inputType(element)) === -1) continue;
      counted++;
      var matches = false;
      for (var p = 0; p < reader.props.length && !matches; p++)
        matches = property(element, reader.props[p]) === name;
      if (matches) {
        if (skip < 1) return element;
        skip--;
      } else if (counted === position) {
        return element;
      }
    }
    return null;
  }
  // Only the ASCII letters are lowered, as in the program's own lowering.
  function lower(text) { return text.replace(/[A-Z]+/g, function (s) { return s.toLowerCase(); }); }
  // A marker as a search of the source with its ASCII letters lowered, made on the
  // source itself: a page of tens of megabytes is not copied once more per look.
  // Each letter of the marker matches either case; a marker that holds a capital
  // letter can never occur in a lowered source.
  function pattern(what) {
    if (/[A-Z]/.test(what)) return null;
    var text = '';
    for (var i = 0; i < what.length; i++) {
      var c = what.charAt(i);
      text += c >= 'a' && c <= 'z' ? '[' + c + c.toUpperCase() + ']'
                                   : '\\u' + ('000' + what.charCodeAt(i).toString(16)).slice(-4);
    }
    return new RegExp(text, 'g');
  }
  // The search of the lowered source, as the program's own text search does it:
  // an empty marker is found at the start, nothing is found from the end on.
  function indexFrom(source, what, from) {
    if (from >= source.length) return -1;
    if (what === '') return 0;
    var search = pattern(what);
    if (search === null) return -1;
    search.lastIndex = from;
    var found = search.exec(source);
    return found === null ? -1 : found.index;
  }
  function between(source, forms) {
    var first = -1, form = null;
    for (var f = 0; f < forms.length; f++) {
      var l = indexFrom(source, forms[f][0], 0);
      if (l !== -1 && (first === -1 || l <= first)) { first = l; form = forms[f]; }
    }
    if (form === null) return '';
    var p = first + form[0].length, r = indexFrom(source, form[1], p);
    return r === -1 || r < p ? '' : lower(source.substring(p, r));
  }
  function quietMs() {
    var watch = window.__corvixQuiet;
    if (!watch) {
      watch = window.__corvixQuiet = { last: Date.now() };
      new MutationObserver(function () { watch.last = Date.now(); })
        .observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
    }
    return Date.now() - watch.last;
  }
  // What the page declares about its product's stock, as markup that the
  // program reads like a page source; a few small elements, never the page.
  function declarations() {
    function attr(element, name) {
      var value = element.getAttribute(name);
      return value === null ? '' : ' ' + name + '="' + value.replace(/&/g, '&amp;').replace(/"/g, '&quot;') + '"';
    }
    var out = [], i, list = document.querySelectorAll('script[type*="ld+json"]');
    for (i = 0; i < list.length; i++)
      out.push('<script type="application/ld+json">' + text(list[i].textContent).replace(/<\//g, '<\\/') + '</script>');
    list = document.querySelectorAll('[itemtype]');
    for (i = 0; i < list.length; i++) out.push('<i' + attr(list[i], 'itemtype') + '>');
    list = document.querySelectorAll('[itemprop~="availability"]');
    for (i = 0; i < list.length; i++)
      out.push('<i itemprop="availability"' + attr(list[i], 'href') + attr(list[i], 'content') + '>'
               + text(list[i].textContent).slice(0, 100).replace(/</g, ' ') + '</i>');
    list = document.querySelectorAll('meta[property*="availability"], meta[name*="availability"]');
    for (i = 0; i < list.length; i++)
      out.push('<meta' + attr(list[i], 'property') + attr(list[i], 'name') + attr(list[i], 'content') + '>');
    return out.join('\n');
  }
  var root = document.documentElement;
  var result = { href: text(location.href), hasDocument: !!root, values: [], markers: [] };
  var source = null;
  if (root && (request.source || request.markers.length))
    source = text(root.outerHTML);
  if (request.source) result.source = source === null ? '' : source;
  for (var m = 0; m < request.markers.length; m++)
    result.markers.push(between(source === null ? '' : source, request.markers[m]));
  if (request.quiet && root) result.quietMs = quietMs();
  if (request.declarations && root) result.declarations = declarations();
  for (var q = 0; q < request.queries.length; q++) {
    var query = request.queries[q], reader = readers[query.reader];
    var element = find(reader, query.name, query.position, query.skip);
    result.values.push(element ? text(element[reader.read]) : '');
  }
  return result;
})(%1)
)JS";

QString ReaderName(ElementReader reader)
{
    switch (reader) {
    case ElementReader::GetTextInputValue:
        return QStringLiteral("GetTextInputValue");
    case ElementReader::GetHiddenInputValue:
        return QStringLiteral("GetHiddenInputValue");
    case ElementReader::GetTextAreaValue:
        return QStringLiteral("GetTextAreaValue");
    case ElementReader::GetDivInnerHtml:
        return QStringLiteral("GetDivInnerHtml");
    case ElementReader::GetSpanInnerHtml:
        return QStringLiteral("GetSpanInnerHtml");
    }
    return {};
}

QString ReadExpression(const DomRequest &request)
{
    QJsonArray queries;
    for (const ElementQuery &q : request.elements) {
        // The name doubles as a position: '3' is the third element, '2.9' the
        // second, a word none.
        const long long position = TruncateToInteger(TextToNumber(q.name));
        queries.append(QJsonObject{{QStringLiteral("reader"), ReaderName(q.reader)},
                                   {QStringLiteral("name"), FromGbk(q.name)},
                                   {QStringLiteral("position"), static_cast<double>(position)},
                                   {QStringLiteral("skip"), q.skip}});
    }
    QJsonArray markers;
    for (const MarkerQuery &m : request.markers) {
        QJsonArray forms;
        for (const auto &[left, right] : m.forms)
            forms.append(QJsonArray{FromGbk(left), FromGbk(right)});
        markers.append(forms);
    }
    QJsonArray legacyTypes;
    for (const std::string &type : LegacyInputTypes())
        legacyTypes.append(QString::fromStdString(type));
    const QJsonObject json{{QStringLiteral("source"), request.pageSource},
                           {QStringLiteral("queries"), queries},
                           {QStringLiteral("markers"), markers},
                           {QStringLiteral("legacyTypes"), legacyTypes},
                           {QStringLiteral("quiet"), request.quietTime},
                           {QStringLiteral("declarations"), request.declarations}};
    // The JSON text is a valid script literal, so no page text can break out of it.
    return QString::fromLatin1(kReadScript)
        .arg(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
}

DomSnapshot ToSnapshot(const DomRequest &request, const QVariant &value, bool current)
{
    DomSnapshot snapshot;
    const QVariantMap map = value.toMap();
    if (!current || !map.value(QStringLiteral("hasDocument")).toBool())
        return snapshot;
    snapshot.hasDocument = true;
    snapshot.address = map.value(QStringLiteral("href")).toString().toStdString();
    if (request.pageSource)
        snapshot.pageSource = ToGbk(map.value(QStringLiteral("source")).toString());
    const QVariantList values = map.value(QStringLiteral("values")).toList();
    for (size_t i = 0; i < request.elements.size(); ++i) {
        const QString text = static_cast<qsizetype>(i) < values.size() ? values[static_cast<qsizetype>(i)].toString()
                                                                       : QString();
        snapshot.elements.emplace_back(request.elements[i], ToGbk(text));
    }
    const QVariantList markers = map.value(QStringLiteral("markers")).toList();
    for (size_t i = 0; i < request.markers.size(); ++i) {
        const QString text = static_cast<qsizetype>(i) < markers.size() ? markers[static_cast<qsizetype>(i)].toString()
                                                                        : QString();
        snapshot.markers.emplace_back(request.markers[i], ToGbk(text));
    }
    snapshot.quietMs = map.value(QStringLiteral("quietMs")).toInt();
    if (request.declarations)
        snapshot.declarations = map.value(QStringLiteral("declarations")).toString().toStdString();
    return snapshot;
}

} // namespace

bool DomHelper::AttachToWindow(BrowserView *browser)
{
    window_ = browser;
    return browser && browser->Navigation() > 0 && !browser->RendererGone();
}

void DomHelper::TakeSnapshot(const DomRequest &request, QObject *context, SnapshotDone done) const
{
    const bool guarded = context != nullptr;
    QPointer<QObject> guard(context);
    BrowserView *browser = window_.data();
    if (!browser) {
        QTimer::singleShot(0, [guarded, guard, done = std::move(done)] {
            if (!guarded || guard)
                done(DomSnapshot{});
        });
        return;
    }
    browser->RunInDocument(ReadExpression(request),
                           [guarded, guard, request, done = std::move(done)](const QVariant &value, bool current) {
                               if (guarded && !guard)
                                   return;
                               done(ToSnapshot(request, value, current));
                           });
}

DomHelper &SharedDomHelper()
{
    static DomHelper helper;
    return helper;
}

} // namespace corvix
