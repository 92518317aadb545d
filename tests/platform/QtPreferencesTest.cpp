#include "platform/QtPreferences.h"

#include <gtest/gtest.h>

#include "support/TempTree.h"

namespace fernbeacon::platform {
namespace {

using test::TempTree;

TEST(QtPreferences, ReadsOnlyPlainIntegersAsIntegersAndNoListAsText) {
    TempTree tree;
    const QtPreferences preferences(
        tree.write("Fernbeacon.conf",
                   "[General]\nplain=15\nword=abc\nempty=\nquoted=\"15\"\nlist=15, 16\n"
                   "unicode=caf\xC3\xA9\n"));
    EXPECT_EQ(preferences.integer("plain"), 15);
    EXPECT_EQ(preferences.integer("quoted"), 15);
    for (const char* key : {"word", "empty", "list", "missing"}) {
        EXPECT_EQ(preferences.integer(key), std::nullopt) << key;
    }
    EXPECT_EQ(preferences.text("plain"), "15");
    EXPECT_EQ(preferences.text("empty"), "");
    EXPECT_EQ(preferences.text("unicode"), "caf\xC3\xA9");
    EXPECT_EQ(preferences.text("list"), std::nullopt);
    EXPECT_EQ(preferences.text("missing"), std::nullopt);
}

TEST(QtPreferences, WritesKeysUnderGeneralAndReadsThemBack) {
    TempTree tree;
    {
        QtPreferences preferences(tree.path("config/Fernbeacon/Fernbeacon.conf"));
        EXPECT_TRUE(preferences.setInteger("maxRecentSessions", 7));
        EXPECT_TRUE(preferences.setText("preferredTerminal", "Terminal"));
        EXPECT_TRUE(preferences.setInteger("maxRecentSessions", -2));
    }
    const std::string written = tree.read("config/Fernbeacon/Fernbeacon.conf");
    EXPECT_NE(written.find("[General]\nmaxRecentSessions=-2\n"), std::string::npos) << written;
    EXPECT_NE(written.find("preferredTerminal=Terminal\n"), std::string::npos) << written;
    const QtPreferences reread(tree.path("config/Fernbeacon/Fernbeacon.conf"));
    EXPECT_EQ(reread.integer("maxRecentSessions"), -2);
    EXPECT_EQ(reread.text("preferredTerminal"), "Terminal");
    EXPECT_EQ(maxRecentSessions(reread), 0);

    tree.write("blocker", "a file where a folder should be");
    QtPreferences blocked(tree.path("blocker/Fernbeacon.conf"));
    EXPECT_FALSE(blocked.setInteger("maxRecentSessions", 3));
    EXPECT_FALSE(blocked.setText("preferredTerminal", "Auto"));
}

}  // namespace
}  // namespace fernbeacon::platform
