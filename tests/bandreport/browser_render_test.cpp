// index.html and report.html rendered by a real browser, from one small export: the overview's rows link every
// report, and the report of the segment with results below a detection limit leads with the decision and holds
// the chart's ten bars, the plot's points and the estimates table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "tests/bandreport/batch_runner.h"
#include "tests/support/program_runner.h"
#include "tests/support/text_lines.h"

namespace {

using test_support::read_file;
using test_support::ScratchDir;
using test_support::shell_quoted;

// The first browser found on PATH, or empty.
std::string find_browser() {
  for (const char* name : {"chromium", "chromium-browser"})
    if (const std::string path = test_support::find_on_path(name); !path.empty()) return path;
  return "";
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The page at `path` as the browser's document after rendering it.
std::string rendered(const std::string& browser, const std::string& work, const std::string& path) {
  const std::string dom = work + "/dom.html";
  const std::string command = "timeout 120 " + shell_quoted(browser) +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                              "--disable-background-networking --disable-component-update --disable-sync "
                              "--user-data-dir=" +
                              shell_quoted(work + "/profile") + " --dump-dom " + shell_quoted("file://" + path) + " >" +
                              shell_quoted(dom) + " 2>/dev/null";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  return read_file(dom);
}

// The part of `page` from the first `start` on to the following `end`.
std::string part(const std::string& page, const std::string& start, const std::string& end) {
  const std::size_t from = page.find(start);
  if (from == std::string::npos) return "";
  return page.substr(from, page.find(end, from) - from);
}

TEST(BandreportBrowser, OverviewAndReportRenderWithTheirParts) {
  const std::string browser = find_browser();
  if (browser.empty()) {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << "no chromium on PATH, and CI needs this test to run";
    GTEST_SKIP() << "no chromium on PATH: the pages are not rendered in a browser on this machine";
  }
  ScratchDir work;
  test_support::write_file(work.path + "/data.csv",
                           "segment,group,value\n"
                           "low,a,0.8\nlow,a,<0.5\nlow,b,1.3\nlow,b,<0.5\nlow,a,0.7\nlow,b,2.1\n"
                           "mid,a,1.2\nmid,b,2.5\nmid,a,1.9\n"
                           "high,a,6.1\nhigh,a,3.9\nhigh,b,8.4\n");
  test_support::write_file(work.path + "/in_bayes.txt", "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
  ASSERT_EQ(
      bandreport_test::run_bandreport(work.path, {"--data", "data.csv", "--out", "out", "--settings", "in_bayes.txt"})
          .exit_status,
      0);

  const std::string overview = rendered(browser, work.path, work.path + "/out/index.html");
  for (const char* name : {"low", "mid", "high"})
    EXPECT_EQ(count(overview, "href=\"" + std::string(name) + "/report.html\""), 1u) << name;
  EXPECT_EQ(count(overview, "class=\"band band-"), 3u);
  EXPECT_NE(overview.find("(2 below DL)"), std::string::npos);

  const std::string report = rendered(browser, work.path, work.path + "/out/low/report.html");
  EXPECT_NE(report.find("Probability that the 95th percentile exceeds the limit"), std::string::npos);
  EXPECT_NE(report.find("<table class=\"estimates\">"), std::string::npos);
  const std::string bars = part(report, "<svg class=\"chart\"", "</svg>");
  EXPECT_EQ(count(bars, "<rect"), 10u);
  EXPECT_NE(bars.find("<title"), std::string::npos);
  const std::string plot = part(report, "<svg class=\"chart plot\"", "</svg>");
  EXPECT_NE(plot.find("<title"), std::string::npos);
  EXPECT_EQ(count(plot, "<circle class=\"detected\""), 4u);
  EXPECT_EQ(count(plot, "<circle class=\"below\""), 2u);
  EXPECT_EQ(count(plot, "fill=\"none\""), 2u);
  EXPECT_LT(report.find("Probability that the 95th"), report.find("<svg"));  // the decision comes first
}

}  // namespace
