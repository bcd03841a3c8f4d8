#pragma once
// A main window with the product-list and import handlers bound, a data root in
// a temporary directory and the rule columns "X" and "Y", on the offscreen
// platform.
#include "ui/Session.h"
#include "common/TestSupport.h"
#include "ui/products/ImportController.h"
#include "products/ProductGridModel.h"
#include "ui/products/ProductListController.h"
#include "ui/MainWindow.h"
#include "ui/UiSettings.h"
#include "ui/pages/ProductListPage.h"

#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace corvix::test {

class ProductGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        for (const char *title : {"X", "Y"}) {
            window->ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
            test::TestSession().enabledRules.push_back({title, Rule{}});
        }
        list = new ProductListController(window.get(), test::TestSession());
        import = new ImportController(window->ListPage(), test::TestSession(), settings);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    QTemporaryDir settingsDir;
    UiSettings settings{settingsDir.filePath(QStringLiteral("settings.ini"))};

    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    QTreeView *View() { return window->ListPage()->GridView(); }
    void AddRows(const std::vector<std::vector<std::string>> &rows) { Grid().AppendRows(rows); }
    // The centre of a cell, or a point below the last row in that column.
    QPoint CellPoint(int row, int column)
    {
        const int x = View()->header()->sectionViewportPosition(column) + View()->header()->sectionSize(column) / 2;
        if (row < 0)
            return QPoint(x, View()->viewport()->height() - 3);
        return QPoint(x, View()->visualRect(Grid().index(row, 0)).center().y());
    }
    void SelectRow(int row)
    {
        View()->selectionModel()->setCurrentIndex(Grid().index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    std::vector<std::string> Column(int column)
    {
        std::vector<std::string> texts;
        for (int r = 0; r < Grid().RowCount(); ++r)
            texts.push_back(Grid().Text(r, column));
        return texts;
    }

    TempSession root;
    MessageRecorder messages;
    QuestionRecorder questions; // 是 to every question
    std::unique_ptr<MainWindow> window;
    ProductListController *list = nullptr;
    ImportController *import = nullptr;
};

} // namespace corvix::test
