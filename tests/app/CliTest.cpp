#include <gtest/gtest.h>

#include <unistd.h>

#include "app/Cli.h"
#include "support/TempTree.h"
#include "support/TestProcesses.h"

namespace fernbeacon::app {
namespace {

using test::TempTree;

CliParse parse(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return parseArguments(list);
}

TEST(CliArguments, CommandsAndOptions) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(*parse({"list", "-h"}).command));
    EXPECT_TRUE(std::holds_alternative<ShowVersion>(*parse({"--version"}).command));
    EXPECT_EQ(std::get<ShowHelp>(*parse({"focus", "4242", "--help"}).command).topic,
              HelpTopic::Focus);
    EXPECT_EQ(std::get<ShowHelp>(*parse({"help", "tray"}).command).topic, HelpTopic::Tray);

    const auto list =
        std::get<ListOptions>(*parse({"list", "--json", "-v", "--probes=tools"}).command);
    EXPECT_TRUE(list.json && list.verbose);
    EXPECT_EQ(list.probes, platform::ProbeSource::Commands);
    const auto focus = std::get<FocusOptions>(*parse({"focus", "-v", "4242"}).command);
    EXPECT_EQ(focus.pid, 4242);
    EXPECT_TRUE(focus.verbose);
    EXPECT_EQ(std::get<OpenOptions>(*parse({"open", "-"}).command).directory, "-");
    EXPECT_TRUE(std::get<MenuOptions>(*parse({"menu", "--verbose"}).command).verbose);
}

TEST(CliArguments, BadArgumentsGiveOneLineAndStatusTwo) {
    for (const auto& arguments :
         std::vector<std::vector<std::string_view>>{{"lisst"},
                                                    {"list", "--jsn"},
                                                    {"focus"},
                                                    {"focus", "0"},
                                                    {"focus", "12x"},
                                                    {"open", "--json", "/tmp"},
                                                    {"help", "lisst"},
                                                    {"help", "list", "focus"}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(run(arguments, out, err), 2) << arguments.back();
        EXPECT_TRUE(out.str().empty());
        const std::string message = err.str();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
}

TEST(CliArguments, HelpOnAFullDiskFails) {
    const std::vector<std::string_view> arguments{"--help"};
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(run(arguments, out, err), 1);
}

// Failures of the program itself: one line, and status 1.
TEST(ProgramCommands, NoGraphicalSessionNoSuchSessionOrNoDirectoryFailWithOneLine) {
    const TempTree tree;
    const auto file = tree.write("file", "");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                   FERNBEACON_BINARY},
          {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", FERNBEACON_BINARY, "menu"},
          {FERNBEACON_BINARY, "focus", std::to_string(::getpid())},
          {FERNBEACON_BINARY, "open", file.string()},
          {FERNBEACON_BINARY, "open", tree.path("missing").string()}}) {
        const CommandResult result = test::runTool(arguments);
        const std::string output = result.standardOutput + result.standardError;
        EXPECT_EQ(result.exitStatus, 1) << arguments.back();
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

}  // namespace
}  // namespace fernbeacon::app
