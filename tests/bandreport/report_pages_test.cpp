// report.html and index.html made from hand-built results, without running the programs: the wording of
// probabilities and numbers, the plot's points (bounded for a huge folder), the estimates, the weights, the links.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bandreport/measurement_plot.h"
#include "bandreport/overview_html.h"
#include "bandreport/report_html.h"
#include "bandreport/report_numbers.h"
#include "tests/support/program_runner.h"

namespace {

using bandreport::FolderResults;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(BandreportPages, ProbabilitiesAndNumbersReadAsPromised) {
  const std::pair<double, const char*> percents[] = {{0.0, "< 1 %"}, {0.0099, "< 1 %"},  {0.01, "1 %"},  {0.37, "37 %"},
                                                     {0.99, "99 %"}, {0.9901, "> 99 %"}, {1.0, "> 99 %"}};
  for (const auto& [p, text] : percents) EXPECT_EQ(bandreport::percent_text(p), text) << p;
  const struct {
    double value;
    bool trailing_zeros;
    const char* text;
  } numbers[] = {{0.123456, true, "0.1235"}, {9999.7, true, "10000"},     {12.5, true, "12.50"},
                 {123456, true, "123500"},   {1.2e-7, true, "1.200e-07"}, {2.0, true, "2.000"},
                 {2.0, false, "2"},          {1.2e-7, false, "1.2e-07"},  {0.30000000000000004, false, "0.3"}};
  for (const auto& n : numbers) EXPECT_EQ(bandreport::significant_text(n.value, n.trailing_zeros), n.text) << n.value;
}

// A good folder: `detected` values from 0.5 up and `below` results below the detection limit 0.4, the limit 5,
// the band weights `weights` and, with `estimates`, the same percentiles for every quantity.
FolderResults folder(std::size_t detected, std::size_t below, const std::vector<std::string>& weights, bool estimates) {
  FolderResults r;
  r.name = r.folder = "site";
  r.units = "mg/m3";
  r.ok = r.has_summary = r.has_bands = true;
  r.n = std::to_string(detected + below);
  r.summary[bandreport::geometric_mean] = "0.8";
  r.summary[bandreport::geometric_sd] = "1.9";
  const char* const probabilities[] = {"0.0000000", "0.0010000", "0.2000000", "0.4290000", "0.3700000"};
  for (int k = 0; k < 5; ++k) r.weight[k] = weights.at(k), r.flat[k] = r.weighted[k] = probabilities[k];
  if (weights[4] == "0") r.weighted[4] = "0.0000000";
  r.most_probable_band = 4;
  for (std::size_t i = 0; i < detected + below; ++i) {
    r.log_values.push_back(std::log(i < detected ? 0.5 + 0.1 * static_cast<double>(i % 50) : 0.4));
    r.below.push_back(i < detected ? 0 : 1);
  }
  r.below_detection = below;
  r.settings = bandreport::Settings{};
  r.settings->limit = 5.0;
  r.has_estimates = estimates;
  const char* const percentiles[] = {"0.9", "1.2", "1.3", "1.5", "1.7"};
  for (auto& quantity : r.estimates)
    for (int p = 0; p < 5; ++p) quantity[p] = percentiles[p];
  return r;
}

TEST(BandreportPages, ReportLeadsWithTheDecisionAndPlotsEveryResult) {
  const std::vector<std::string> flat = {"1", "1", "1", "1", "1"}, own = {"0.1", "0.2", "0.3", "0.25", "0.15"},
                                 no_band5 = {"1", "1", "1", "1", "0"};
  const struct {
    const char* name;
    FolderResults results;
    std::size_t filled, open;
    std::vector<std::string> present, absent;
  } cases[] = {
      {"below limits, own weights",
       folder(7, 3, own, true),
       7,
       3,
       {"exceeds the limit, with your band weights: <strong>37 %</strong>", "every band weighted alike: 37 %",
        "band 4 · 50–100 % of the limit", "<strong class=\"nowrap\">1.200 mg/m3</strong> (point estimate",
        "upper credible limit <strong class=\"nowrap\">1.500 mg/m3", "not prior probabilities", "<line class=\"fit\"",
        "class=\"limit-label\"", "Sample geometric mean", "pools all groups", "<table class=\"estimates\">"},
       {"evenly spaced"}},
      {"huge, flat weights, no estimates",
       folder(100000, 0, flat, false),
       bandreport::plot_point_limit,
       0,
       {"limit: <strong>37 %</strong>", "out_estimates.txt, were not read", "2000 of the 100000 results are drawn"},
       {"with your band weights", "<line class=\"fit\"", "<table class=\"estimates\">"}},
      {"band 5 weighted 0",
       folder(5, 0, no_band5, true),
       5,
       0,
       {"with your band weights: <strong>&lt; 1 %</strong>", "A weight of 0 on band 5"},
       {">0 %<"}},
  };
  for (const auto& c : cases) {
    const std::string page = bandreport::report_html(c.results, {"bandreport 1.0.0", "2024-01-01"});
    EXPECT_EQ(count(page, "<circle class=\"detected\""), c.filled) << c.name;
    EXPECT_EQ(count(page, "<circle class=\"below\""), c.open) << c.name;
    EXPECT_LT(page.size(), 400'000u) << c.name;
    for (const std::string& text : c.present) EXPECT_NE(page.find(text), std::string::npos) << c.name << ": " << text;
    for (const std::string& text : c.absent) EXPECT_EQ(page.find(text), std::string::npos) << c.name << ": " << text;
  }
}

TEST(BandreportPages, OverviewLinksEachReportSafelyAndShowsFailures) {
  test_support::ScratchDir work;
  const std::string name = "a b:c#?<x>";
  std::filesystem::create_directories(work.path + "/out/" + name);
  test_support::write_file(work.path + "/out/" + name + "/report.html", "");
  EXPECT_EQ(bandreport::report_link(work.path + "/out/" + name, work.path + "/out"),
            "a%20b%3Ac%23%3F%3Cx%3E/report.html");
  EXPECT_EQ(bandreport::report_link(work.path + "/out/" + name, work.path + "/out/" + name), "report.html");
  EXPECT_EQ(bandreport::report_link(work.path + "/none", work.path), "");  // no report, no link

  FolderResults good = folder(7, 3, {"1", "1", "1", "1", "1"}, true);
  good.folder = work.path + "/out/" + name;
  FolderResults failed;
  failed.name = "<b>bad</b>";
  failed.message = "vantor: <script> failed";
  const std::string page = bandreport::overview_html({good, failed}, work.path + "/out", {"v", "d"});
  for (const char* text : {"href=\"a%20b%3Ac%23%3F%3Cx%3E/report.html\"", "10 <span class=\"aside\">(3 below DL)",
                           "1.500 mg/m3", "37 %", "<span class=\"band band-4\">band 4 · 50–100 % of the limit",
                           "vantor: &lt;script&gt; failed", "&lt;b&gt;bad&lt;/b&gt;"})
    EXPECT_NE(page.find(text), std::string::npos) << text;
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

}  // namespace
