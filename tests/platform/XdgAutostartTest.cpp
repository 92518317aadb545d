#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/XdgAutostart.h"
#include "support/TempTree.h"

namespace fernbeacon::platform {
namespace {

using test::TempTree;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(XdgAutostart, RegisterWritesAnEntryAndUnregisterRemovesIt) {
    TempTree tree;
    XdgAutostart item(tree.path("config/autostart"), "/opt/fern beacon/bin/fernbeacon");
    EXPECT_FALSE(item.isRegistered());

    EXPECT_EQ(item.registerLoginItem(), std::nullopt);
    EXPECT_TRUE(item.isRegistered());
    const std::string entry = contents(tree.path("config/autostart/fernbeacon.desktop"));
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\nType=Application\n")) << entry;
    EXPECT_NE(entry.find("\nExec=\"/opt/fern beacon/bin/fernbeacon\"\n"), std::string::npos)
        << entry;
    // Registering again rewrites the entry; no temporary file is left beside it.
    EXPECT_EQ(item.registerLoginItem(), std::nullopt);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.path("config/autostart")),
                            std::filesystem::directory_iterator()),
              1);

    EXPECT_EQ(item.unregisterLoginItem(), std::nullopt);
    EXPECT_FALSE(item.isRegistered());
    // Removing what is not there is no failure.
    EXPECT_EQ(item.unregisterLoginItem(), std::nullopt);
}

TEST(XdgAutostart, HiddenEntryIsNotRegistered) {
    TempTree tree;
    XdgAutostart item(tree.root(), "/usr/bin/fernbeacon");
    tree.write("fernbeacon.desktop", "[Desktop Entry]\nExec=fernbeacon\nHidden = true\n");
    EXPECT_FALSE(item.isRegistered());
    tree.write("fernbeacon.desktop",
               "[Desktop Entry]\nHidden=false\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(item.isRegistered());
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
    TempTree other;
    other.write("fernbeacon.desktop/inside", "");
    XdgAutostart stuck(other.root(), "/usr/bin/fernbeacon");
    const auto removal = stuck.unregisterLoginItem();
    ASSERT_TRUE(removal);
    EXPECT_NE(removal->find("fernbeacon.desktop"), std::string::npos) << *removal;
}

TEST(XdgAutostart, ExecArgumentSurvivesAnyPath) {
    EXPECT_EQ(desktopExecArgument("/usr/bin/fernbeacon"), "\"/usr/bin/fernbeacon\"");
    // Quoting escapes " ` $ and \ with a backslash; the value's own escaping then doubles every
    // backslash, and a percent sign is doubled for the field codes.
    EXPECT_EQ(desktopExecArgument("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    EXPECT_EQ(desktopExecArgument("/50%/x"), "\"/50%%/x\"");
    EXPECT_EQ(desktopExecArgument("/a\nb\tc"), "\"/a\\nb\\tc\"");
}

}  // namespace
}  // namespace fernbeacon::platform
