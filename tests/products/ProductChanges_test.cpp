#include "products/ProductChanges.h"

#include "TestGrids.h"
#include "common/CoreTestSupport.h"
#include "products/PackSizeFile.h"
#include "support/DataRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace corvix {
namespace {

using test::MakeGrid;
using test::ReadBytes;
using test::WriteBytes;

// url.ini, the newest record, alerts.ini and packs.ini of three products, the
// middle one with an alert and a size.
struct ProductFiles {
    test::TempDataRoot root;
    std::filesystem::path links = LinkFilePath(root.Dirs());
    std::filesystem::path record = root.Dirs().dbDir / "1700000001.txt";
    std::filesystem::path alerts = AlertsFilePath(root.Dirs());
    std::filesystem::path packs = PackSizeFilePath(root.Dirs());
    std::unique_ptr<ProductGridModel> grid =
        MakeGrid({"X"}, {{"1", "a", "1.1"}, {"2", "b", "2.2"}, {"3", "c", "3.3"}});

    ProductFiles()
    {
        WriteBytes(links, "; kept\r\n[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n"
                          "[A2]\r\ntitle=c\r\nX=http://c\r\n");
        WriteBytes(root.Dirs().dbDir / "1700000000.txt", "old|");
        WriteBytes(record, "a|1.1|\r\nb|2.2|\r\nc|3.3|");
        WriteBytes(alerts, "[alert1]\r\nproduct=b\r\ntarget=2\r\n[alert2]\r\nproduct=c\r\ntarget=3\r\n");
        WriteBytes(packs, "[pack1]\r\nproduct=b\r\nshop1=X\r\nsize1=500g\r\n");
    }
    std::map<std::filesystem::path, std::string> Bytes() const
    {
        std::map<std::filesystem::path, std::string> all;
        for (const auto &path : {links, record, alerts, packs})
            all[path] = std::filesystem::is_directory(path) ? "<folder>" : ReadBytes(path);
        return all;
    }
};

TEST(ProductChanges, DeleteTakesRowRecordLineAndAlertsAndUndoGivesThemBack)
{
    const struct {
        const char *name;
        int row;
        std::string recordBefore; // empty: the newest record as made above
        std::string links, record, alerts;
    } cases[] = {
        {"middle row", 1, "", "; kept\r\n[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=c\r\nX=http://c\r\n",
         "a|1.1|\r\nc|3.3|", "[alert2]\r\nproduct=c\r\ntarget=3\r\n"},
        {"first row, no alert", 0, "", "; kept\r\n[A0]\r\ntitle=b\r\nX=http://b\r\n[A1]\r\ntitle=c\r\nX=http://c\r\n",
         "b|2.2|\r\nc|3.3|", ""},
        {"the record's line is another product's", 1, "a|1.1|\r\n\r\nz|9|\r\nc|3.3|",
         "; kept\r\n[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=c\r\nX=http://c\r\n", "",
         "[alert2]\r\nproduct=c\r\ntarget=3\r\n"},
        {"empty lines hold no row", 2, "\r\na|1.1|\r\n\r\nb|2.2|\r\nc|3.3|",
         "; kept\r\n[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n", "\r\na|1.1|\r\n\r\nb|2.2|",
         "[alert1]\r\nproduct=b\r\ntarget=2\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ProductFiles f;
        if (!c.recordBefore.empty())
            WriteBytes(f.record, c.recordBefore);
        const auto before = f.Bytes();
        const Result<ProductDeletion> deleted = DeleteProduct(f.root.Dirs(), *f.grid, c.row);
        ASSERT_TRUE(deleted);
        EXPECT_EQ(ReadBytes(f.links), c.links);
        EXPECT_EQ(ReadBytes(f.record), c.record.empty() ? before.at(f.record) : c.record);
        if (!c.alerts.empty()) {
            EXPECT_EQ(ReadBytes(f.alerts), c.alerts);
        }
        EXPECT_EQ(ReadBytes(f.root.Dirs().dbDir / "1700000000.txt"), "old|") << "older records stay";
        ASSERT_TRUE(UndoProductDeletion(f.root.Dirs(), *deleted));
        EXPECT_EQ(ReadBytes(f.links), before.at(f.links)) << "undone byte for byte";
        EXPECT_EQ(ReadBytes(f.record), before.at(f.record)) << "undone byte for byte";
        // An alert comes back as a section of its own, after the others.
        EXPECT_EQ(PriceAlerts::Load(f.alerts).All().size(), 2u);
    }
}

TEST(ProductChanges, EditStoresLinksSizesAndARenameTogether)
{
    ProductFiles f;
    ProductEdit edit{"B2", {"X"}, {"http://b2"}, {"1kg"}, PriceUnit::PerKg};
    const Result<std::vector<size_t>> changed = StoreProductEdit(f.root.Dirs(), *f.grid, 1, edit);
    ASSERT_TRUE(changed);
    EXPECT_EQ(*changed, std::vector<size_t>{0});
    EXPECT_EQ(ReadBytes(f.links), "; kept\r\n[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=B2\r\nX=http://b2\r\n"
                                  "[A2]\r\ntitle=c\r\nX=http://c\r\n");
    const PackSizeFile packs = PackSizeFile::Load(f.packs);
    EXPECT_EQ(packs.SizeText("B2", "X"), "1kg");
    EXPECT_EQ(packs.ChosenUnit("B2"), PriceUnit::PerKg);
    EXPECT_EQ(packs.SizeText("b", "X"), "");
    EXPECT_NE(PriceAlerts::Load(f.alerts).Find("B2", {}), nullptr) << "the alert follows the rename";

    // Another row with the old title keeps the old title's alerts and sizes.
    ProductFiles shared;
    shared.grid->SetText(2, kProductTitleColumn, "b");
    const auto before = shared.Bytes();
    ASSERT_TRUE(StoreProductEdit(shared.root.Dirs(), *shared.grid, 1, {"B2", {"X"}, {"http://b"}, {"500g"}, {}}));
    EXPECT_EQ(ReadBytes(shared.alerts), before.at(shared.alerts));
    EXPECT_EQ(PackSizeFile::Load(shared.packs).SizeText("b", "X"), "500g");
}

TEST(ProductChanges, ImportMergesLinksAndSizes)
{
    ProductFiles f;
    const Result<LinkFile> links =
        ImportProducts(f.root.Dirs(), ImportedProducts("N,http://n [2kg]"), {"X"}, ImportMode::Append);
    ASSERT_TRUE(links);
    EXPECT_EQ(links->Text(), ReadBytes(f.links));
    EXPECT_EQ(links->ProductValue(3, "X"), "http://n");
    EXPECT_EQ(PackSizeFile::Load(f.packs).SizeText("N", "X"), "2kg");
    EXPECT_EQ(PackSizeFile::Load(f.packs).SizeText("b", "X"), "500g");
}

// A file that is there and cannot be read (a folder in its place) stops every
// change before anything is written; the error names it as not read.
TEST(ProductChanges, AnUnreadableFileStopsTheChangeAndNothingIsWritten)
{
    using Change = std::function<Result<void>(ProductFiles &)>;
    const auto toVoid = [](const auto &result) { return result ? Result<void>() : tl::unexpected(result.error()); };
    const Change remove = [&](ProductFiles &f) { return toVoid(DeleteProduct(f.root.Dirs(), *f.grid, 1)); };
    const Change edit = [&](ProductFiles &f) {
        return toVoid(StoreProductEdit(f.root.Dirs(), *f.grid, 1, {"B2", {"X"}, {"http://b2"}, {"1kg"}, {}}));
    };
    const Change import = [&](ProductFiles &f) {
        return toVoid(ImportProducts(f.root.Dirs(), ImportedProducts("N,http://n [2kg]"), {"X"}, ImportMode::Append));
    };
    ProductDeletion taken; // what the deletion below took, for the undo
    const Change undo = [&](ProductFiles &f) { return UndoProductDeletion(f.root.Dirs(), taken); };
    const struct {
        const char *name;
        Change change;
        std::filesystem::path ProductFiles::*unreadable;
    } cases[] = {
        {"delete, url.ini", remove, &ProductFiles::links},
        {"delete, alerts.ini", remove, &ProductFiles::alerts},
        {"undo, url.ini", undo, &ProductFiles::links},
        {"undo, the newest record", undo, &ProductFiles::record},
        {"undo, alerts.ini", undo, &ProductFiles::alerts},
        {"edit, url.ini", edit, &ProductFiles::links},
        {"edit, packs.ini", edit, &ProductFiles::packs},
        {"edit (a rename), alerts.ini", edit, &ProductFiles::alerts},
        {"import, url.ini", import, &ProductFiles::links},
        {"import with sizes, packs.ini", import, &ProductFiles::packs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ProductFiles f;
        if (std::string(c.name).starts_with("undo")) {
            Result<ProductDeletion> deleted = DeleteProduct(f.root.Dirs(), *f.grid, 1);
            ASSERT_TRUE(deleted);
            taken = std::move(*deleted);
        }
        const std::filesystem::path path = f.*c.unreadable;
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
        const auto before = f.Bytes();
        const Result<void> changed = c.change(f);
        ASSERT_FALSE(changed);
        EXPECT_TRUE(changed.error().read);
        EXPECT_FALSE(changed.error().absent);
        EXPECT_EQ(changed.error().path, path);
        EXPECT_FALSE(changed.error().reason.isEmpty());
        EXPECT_EQ(f.Bytes(), before) << "nothing is written";
        EXPECT_FALSE(std::filesystem::exists(ChangeJournalPath(f.root.Dirs().root))) << "no change was begun";
    }
}

} // namespace
} // namespace corvix
