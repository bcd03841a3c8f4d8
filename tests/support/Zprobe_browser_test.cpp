#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "support/BrowserView.h"
#include <QElapsedTimer>
#include <QDebug>
#include <gtest/gtest.h>
namespace corvix {
TEST(ZProbe, Timing) {
  test::UseTestBrowserProfile();
  test::TestHttpServer server;
  server.Route("/a", "<body>a</body>");
  BrowserView v; v.show();
  QElapsedTimer t; t.start();
  QObject::connect(&v, &BrowserView::ProgressChange, [&](int p){ qDebug() << t.elapsed() << "progress" << p; });
  QObject::connect(&v, &BrowserView::DownloadComplete, [&]{ qDebug() << t.elapsed() << "done"; });
  QObject::connect(&v, &BrowserView::NavigateComplete2, [&]{ qDebug() << t.elapsed() << "nav2"; });
  for (int i = 0; i < 3; ++i) { t.restart(); ASSERT_TRUE(test::LoadPage(v, server.Url("/a"))); qDebug() << "load" << t.elapsed() << server.RequestedPaths(); }
  t.restart(); auto s = test::SnapshotOf(v, DomRequest{true, {}}); qDebug() << "snap" << t.elapsed();
}
}
