#include <gtest/gtest.h>

#include "platform/linux/XdgAutostart.h"
#include "support/TempTree.h"

namespace fernbeacon::platform {
namespace {

using test::TempTree;

TEST(XdgAutostart, RegisterWritesAnEntryAndUnregisterRemovesIt) {
    TempTree tree;
    XdgAutostart item(tree.path("autostart"), "/opt/fern beacon/bin/fernbeacon");
    EXPECT_FALSE(item.isRegistered());
    EXPECT_EQ(item.registerLoginItem(), std::nullopt);
    EXPECT_TRUE(item.isRegistered());
    const std::string entry = tree.read("autostart/fernbeacon.desktop");
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\nType=Application\n")) << entry;
    EXPECT_NE(entry.find("\nExec=\"/opt/fern beacon/bin/fernbeacon\"\n"), std::string::npos);
    // Registering again rewrites the entry; no temporary file is left beside it.
    EXPECT_EQ(item.registerLoginItem(), std::nullopt);
    const std::filesystem::directory_iterator folder(tree.path("autostart"));
    EXPECT_EQ(std::distance(begin(folder), end(folder)), 1);

    tree.write("autostart/fernbeacon.desktop", "[Desktop Entry]\nExec=x\nHidden = true\n");
    EXPECT_FALSE(item.isRegistered());
    tree.write("autostart/fernbeacon.desktop",
               "[Desktop Entry]\nHidden=false\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(item.isRegistered());

    EXPECT_EQ(item.unregisterLoginItem(), std::nullopt);
    EXPECT_FALSE(item.isRegistered());
    // Removing what is not there is no failure.
    EXPECT_EQ(item.unregisterLoginItem(), std::nullopt);
}

TEST(XdgAutostart, FailuresCarryTheSystemsExplanation) {
    TempTree tree;
    // A file where the folder should be: nothing can be made under it, even by root.
    tree.write("blocked", "");
    XdgAutostart item(tree.path("blocked/autostart"), "/usr/bin/fernbeacon");
    const auto error = item.registerLoginItem();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("Not a directory"), std::string::npos) << *error;
    EXPECT_FALSE(item.isRegistered());

    // An entry that is a non-empty folder cannot be removed.
    tree.write("stuck/fernbeacon.desktop/inside", "");
    const auto removal = XdgAutostart(tree.path("stuck"), "/usr/bin/x").unregisterLoginItem();
    ASSERT_TRUE(removal);
    EXPECT_NE(removal->find("fernbeacon.desktop"), std::string::npos) << *removal;
}

TEST(XdgAutostart, ExecArgumentSurvivesAnyPath) {
    // Quoting escapes " ` $ and \ with a backslash; the value's own escaping then doubles every
    // backslash, and a percent sign is doubled for the field codes.
    EXPECT_EQ(desktopExecArgument("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    EXPECT_EQ(desktopExecArgument("/50%/x"), "\"/50%%/x\"");
    EXPECT_EQ(desktopExecArgument("/a\nb\tc\r"), "\"/a\\nb\\tc\\r\"");
}

}  // namespace
}  // namespace fernbeacon::platform
