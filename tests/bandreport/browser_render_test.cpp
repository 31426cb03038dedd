// report.html rendered by a real browser: the chart's ten bars and the band probabilities reach the page.
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

TEST(BandreportBrowser, RenderedPageHoldsTheTenBarsAndTheProbabilities) {
  const std::string browser = find_browser();
  if (browser.empty()) {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << "no chromium on PATH, and CI needs this test to run";
    GTEST_SKIP() << "no chromium on PATH: the report is not rendered in a browser on this machine";
  }
  ScratchDir work;
  bandreport_test::make_folder(work.path + "/three", "1\n3\n1.0\n2.5\n0.7\n",
                               "5.0\n0.5 20.0\n1.2 8.0\n0.1 0.2 0.3 0.25 0.15\n");
  ASSERT_EQ(bandreport_test::run_bandreport(work.path, {"three"}).exit_status, 0);

  const std::string profile = work.path + "/profile";
  const std::string dom = work.path + "/dom.html";
  const std::string command = "timeout 120 " + shell_quoted(browser) +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                              "--disable-background-networking --disable-component-update --disable-sync "
                              "--user-data-dir=" +
                              shell_quoted(profile) + " --dump-dom " +
                              shell_quoted("file://" + work.path + "/three/report.html") + " >" + shell_quoted(dom) +
                              " 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  const std::string page = read_file(dom);
  const std::size_t svg = page.find("<svg");
  ASSERT_NE(svg, std::string::npos) << page.substr(0, 2000);
  const std::string chart = page.substr(svg, page.find("</svg>", svg) - svg);
  EXPECT_EQ(count(chart, "<rect"), 10u);
  EXPECT_EQ(count(chart, "role=\"img\""), 1u);
  EXPECT_NE(chart.find("<title"), std::string::npos);
  // Each probability of out_bayes.txt appears as the value of its bar.
  for (const std::string& line : bandreport_test::trimmed_lines(work.path + "/three/out_bayes.txt")) {
    const auto fields = bandreport_test::band_fields(line);
    for (int f : {1, 2}) EXPECT_NE(chart.find(">" + fields.at(f) + "</text>"), std::string::npos) << fields.at(f);
  }
  EXPECT_NE(page.find("The most probable band is band"), std::string::npos);
}

}  // namespace
