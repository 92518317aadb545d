#include <gtest/gtest.h>

#include "app/JsonWriter.h"
#include "app/Listing.h"

namespace fernbeacon::app {
namespace {

ScanResult sampleScan() {
    auto editor = std::make_shared<ClaudeSession>(812, "pts/3", "/home/me/spotter", "VS Code");
    editor->summary = "Fix the <b>login</b> bug";
    editor->gitBranch = "main";
    editor->model = "opus";
    editor->contextTokensUsed = 45678;
    editor->contextTokensMax = 200000;
    editor->processUptime = "3 hrs";
    editor->messageCount = 12;
    editor->sessionModified = instantFromSecondsSince1970(1770088829.588);
    editor->sessionId = "4f1c";
    editor->status = "waiting";
    editor->waitingFor = "permission prompt";

    auto bare = std::make_shared<ClaudeSession>(813, std::nullopt, std::nullopt, std::nullopt);
    bare->contextTokensMax = 200000;
    bare->status = "busy";

    RecentSession recent{std::nullopt,      "Add a \"quoted\" flag",
                         "/home/me/tools/", instantFromSecondsSince1970(1699990000),
                         std::nullopt,      "HEAD"};
    return {{editor, bare}, {recent}};
}

TEST(ListingText, ShowsWhatTheMenuShows) {
    EXPECT_EQ(
        formatListingText(sampleScan()),
        "FB 2\n"
        "\n"
        "spotter  [VS Code]\n"
        "  Fix the bug\n"
        "  Waiting: permission prompt\n"
        "  \u25B0\u25B0\u25B1\u25B1\u25B1\u25B1\u25B1\u25B1\u25B1\u25B1  45k / 200k tokens (22%)\n"
        "  VS Code  \u00B7  main  \u00B7  opus  \u00B7  3 hrs\n"
        "\n"
        "claude\n"
        "  busy\n"
        "\n"
        "Recent\n"
        "  tools\n"
        "    Add a \"quoted\" flag\n");
}

TEST(ListingText, EmptyAndHiddenSections) {
    ScanResult scan = sampleScan();
    scan.live.clear();
    EXPECT_EQ(formatListingText(scan),
              "FB\n\nNo active Claude sessions\n\nRecent\n  tools\n    Add a \"quoted\" flag\n");
    scan.recent.clear();
    EXPECT_EQ(formatListingText(scan), "FB\n\nNo active Claude sessions\n");
}

TEST(ListingJson, EveryFieldInDeclarationOrderWithNulls) {
    EXPECT_EQ(
        formatListingJson(sampleScan()),
        R"j({"statusTitle": "FB 2", "live": [)j"
        R"j({"pid": 812, "tty": "pts/3", "workingDirectory": "/home/me/spotter", "terminalApp": "VS Code", )j"
        R"j("summary": "Fix the <b>login</b> bug", "firstPrompt": null, "customTitle": null, "aiTitle": null, )j"
        R"j("messageCount": 12, "gitBranch": "main", )j"
        R"j("sessionCreated": null, "sessionModified": 1770088829.588, "model": "opus", "contextTokensUsed": 45678, )j"
        R"j("contextTokensMax": 200000, "processUptime": "3 hrs", "sessionId": "4f1c", "status": "waiting", )j"
        R"j("waitingFor": "permission prompt", "displayTitle": "Fix the bug", )j"
        R"j("contextLabel": "45k / 200k tokens (22%)", "detailLine": "VS Code  ·  main  ·  opus  ·  3 hrs"}, )j"
        R"j({"pid": 813, "tty": null, "workingDirectory": null, "terminalApp": null, "summary": null, )j"
        R"j("firstPrompt": null, "customTitle": null, "aiTitle": null, "messageCount": null, "gitBranch": null, "sessionCreated": null, )j"
        R"j("sessionModified": null, "model": null, "contextTokensUsed": null, "contextTokensMax": 200000, )j"
        R"j("processUptime": null, "sessionId": null, "status": "busy", "waitingFor": null, )j"
        R"j("displayTitle": null, "contextLabel": null, "detailLine": ""}], )j"
        R"j("recent": [{"summary": null, "firstPrompt": "Add a \"quoted\" flag", "projectPath": "/home/me/tools/", )j"
        R"j("modified": 1699990000, "messageCount": null, "gitBranch": "HEAD", "sessionId": null, "customTitle": null, )j"
        R"j("aiTitle": null, "displayTitle": "Add a \"quoted\" flag"}]})j"
        "\n");
}

TEST(JsonWriter, EscapesControlsAndReplacesInvalidUtf8) {
    JsonWriter json;
    json.beginArray().value(std::string_view("a\0\x01\tb\\\xC3(\xE2\x82\xAC", 11)).endArray();
    EXPECT_EQ(json.text(), "[\"a\\u0000\\u0001\\tb\\\\\xEF\xBF\xBD(\xE2\x82\xAC\"]");
}

}  // namespace
}  // namespace fernbeacon::app
