#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ferrowin/cli/FerrowinCliHost.h"

namespace uhf {
namespace {

using Terminal = ProcessSetup::Terminal;

// Half the image, a log line, all of it: the progress line is redrawn in place as the terminal
// allows; a pipe or a file gets the log lines alone.
TEST(FerrowinCliHostTest, ProgressIsRedrawnAsTheTerminalAllowsAndNeverReachesAPipe) {
    for (const Terminal terminal :
         {Terminal::None, Terminal::PlainLines, Terminal::EscapeSequences}) {
        SCOPED_TRACE(static_cast<int>(terminal));
        std::ostringstream err;
        FerrowinCliHost host(err, terminal, [] {});
        host.ShowProgress(64, 128);
        host.AddLog("Change baud rate.");
        host.ShowProgress(128, 128);
        host.FinishProgress();
        const std::string out =
            std::regex_replace(err.str(), std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2} "), "T ");

        // The drawn lines, whose rate and time left depend on the clock.
        std::vector<std::string> bars;
        const std::regex bar(R"(\[[#-]{24}\][^\r\n]* left)");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), bar);
             it != std::sregex_iterator(); ++it) {
            bars.push_back(it->str());
        }
        if (terminal == Terminal::None) {
            EXPECT_EQ(out, "T Change baud rate.\n");
            continue;
        }
        ASSERT_EQ(bars.size(), 3U) << out;
        EXPECT_EQ(bars[0].rfind("[############------------]  50%  64/128 bytes", 0), 0U);
        EXPECT_EQ(bars[2].rfind("[########################] 100%  128/128 bytes", 0), 0U);
        if (terminal == Terminal::EscapeSequences) {
            EXPECT_EQ(out, "\r\033[K" + bars[0] + "\r\033[KT Change baud rate.\n" + bars[1] +
                               "\r\033[K" + bars[2] + "\n");
        } else {
            // Without escape sequences: back to the line's start, blanks over what was drawn.
            const auto blank = [](const std::string& drawn) {
                return "\r" + std::string(drawn.size(), ' ') + "\r";
            };
            EXPECT_EQ(out, bars[0] + blank(bars[0]) + "T Change baud rate.\n" + bars[1] +
                               blank(bars[1]) + bars[2] + "\n");
        }
    }
}

}  // namespace
}  // namespace uhf
