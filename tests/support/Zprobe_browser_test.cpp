#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "support/BrowserView.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QDebug>
#include <gtest/gtest.h>
namespace corvix {
TEST(ZProbe, Big) {
  test::UseTestBrowserProfile();
  test::TestHttpServer server;
  QByteArray body = "<html><head><meta charset=\"utf-8\"></head><body>";
  int i = 0;
  while (body.size() < 2 * 1024 * 1024) body += "<DIV class=\"Row\" data-id=\"" + QByteArray::number(i++) + "\"><A HREF=\"/item\">商品名称 Product Name 手机</A><SPAN class=\"old\">￥ 99.00</SPAN></DIV>\n";
  body += "</body></html>";
  server.Route("/big", body);
  BrowserView v; v.show();
  ASSERT_TRUE(test::LoadPage(v, server.Url("/big")));
  auto run = [&](const char* label, const QString& js, int world) {
    for (int k = 0; k < 3; ++k) {
    QElapsedTimer t; t.start(); bool done = false; qint64 got = 0; qint64 size = 0;
    v.page()->runJavaScript(js, world, [&](const QVariant& r){ got = t.elapsed(); size = r.toString().size(); done = true; });
    test::WaitUntil([&]{ return done; });
    QElapsedTimer c; c.start();
    qDebug() << label << got << "ms size" << size;
    }
  };
  run("length main", "document.documentElement.outerHTML.length", 0);
  run("length app", "document.documentElement.outerHTML.length", 1);
  run("string main", "document.documentElement.outerHTML", 0);
  run("string app", "document.documentElement.outerHTML", 1);
  run("map app", "({s: document.documentElement.outerHTML})", 1);
  run("latin1 test", "'x'.repeat(2000000)", 1);
  run("utf16 test", "'手'.repeat(2000000)", 1);
  for (int k = 0; k < 3; ++k) { QElapsedTimer t2; t2.start(); DomRequest r; r.pageSource = true; auto snap = test::SnapshotOf(v, r); qDebug() << "snapshot" << t2.elapsed() << snap.pageSource.size(); }
  for (int k = 0; k < 3; ++k) { QElapsedTimer t2; t2.start(); bool done=false; v.RunInDocument("document.documentElement.outerHTML", [&](const QVariant&, bool){ done = true; }); test::WaitUntil([&]{return done;}); qDebug() << "runindoc" << t2.elapsed(); }
  for (int k = 0; k < 3; ++k) { QElapsedTimer t2; t2.start(); bool done=false; v.RunInDocument("({source: document.documentElement.outerHTML, values: [], href: location.href})", [&](const QVariant&, bool){ done = true; }); test::WaitUntil([&]{return done;}); qDebug() << "runindoc map" << t2.elapsed(); }
  QString s = FromGbk(Gbk("手机")).repeated(1000000);
  QElapsedTimer t; t.start(); auto g = ToGbk(s); qDebug() << "togbk" << t.elapsed();
  std::string big = ToGbk(QString::fromUtf8(body));
  t.restart(); auto low = ToLowerText(big); qDebug() << "lower" << t.elapsed() << low.size();
  t.restart(); auto between = TextBetween(low, "<span id=\"price\">", "</span>"); qDebug() << "between" << t.elapsed();
  t.restart(); auto st = StripPriceText(between); qDebug() << "strip" << t.elapsed();
  t.restart(); auto f = FindText(low, "zzzz"); qDebug() << "find" << t.elapsed();
}
}
