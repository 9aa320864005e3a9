#include <string>

#include <gtest/gtest.h>

#include "foundation/VxStream.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamReader.h"
#include "xini/VxXIniStreamWriter.h"
#include "xini/VxXIniTree.h"

TEST(VxXIniTree, ItemsKeepOrderAndDuplicateNames)
{
    VTVxXIniTree tree = MakeVxXIniTree();
    EXPECT_EQ(0u, tree->Count());
    VTVxXIniTree first = tree->AddSection("a");
    tree->AddSection("a");
    EXPECT_EQ("v", tree->AddItem(VxXIniString, "b", "v")->value);
    ASSERT_EQ(3u, tree->Count());
    EXPECT_EQ(first.get(), &tree->Item(0).Child());
    EXPECT_NE(first.get(), &tree->Item(1).Child());
    EXPECT_FALSE(tree->Item(2).child);
}

TEST(VxXIniTree, AChildOutlivesItsParentAndKeepsItsOwnChildren)
{
    VTVxXIniTree child;
    {
        VTVxXIniTree tree = MakeVxXIniTree();
        child = tree->AddSection("c");
        child->AddSection("g")->AddItem(VxXIniInteger, "n", "7");
    }
    ASSERT_EQ(1u, child->Count());
    ASSERT_EQ(1u, child->Item(0).Child().Count());
    EXPECT_EQ("7", child->Item(0).Child().Item(0).value);
}

TEST(VxXIniTree, AVeryDeepChainIsReleasedWithoutRecursion)
{
    VTVxXIniTree root = MakeVxXIniTree();
    VTVxXIniTree tree = root;
    for (int i = 0; i < 100000; ++i)
        tree = tree->AddSection("x");
    tree.reset();
    root.reset();
    SUCCEED();
}

TEST(VxXIniTree, ASectionCarriesFromOneDocumentIntoAnother)
{
    const std::string source = "<vxini>\n  <x n=\"sec\">\n    <i n=\"a\" v=\"0x1F\"/>\n    <x>\n"
                               "      <s n=\"&quot;q\" v=\"\xD0\x9F &amp;\"/>\n      <b>\n        AAEC\n      </b>\n"
                               "    </x>\n    <d v=\"1.5\"/>\n  </x>\n</vxini>\n";
    var_a<TVxStringStream> in = make_var_a<TVxStringStream>();
    in->setText(source);
    TVxXIniStreamReader reader(in, true);
    VTVxXIniTree tree = reader.GetSectionTreeRequired(0u);
    ASSERT_EQ(3u, tree->Count());

    var_a<TVxStringStream> out = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(out, 0, 2);
    EXPECT_TRUE(writer.WriteSectionTree("sec", *tree));
    EXPECT_TRUE(writer.CloseDocument());
    EXPECT_EQ(source, out->getText());
}
