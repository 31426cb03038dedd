// index.html: one row per folder with the numbers its report leads with, each linking the folder's report.html.
#include "bandreport/overview_html.h"

#include <filesystem>

#include "bandreport/html_page.h"
#include "bandreport/report_numbers.h"
#include "bandreport/text_escape.h"

namespace bandreport {

namespace {

const std::string missing = "—";

// Bytes of a path that stand for themselves in a URL path; all others are percent-encoded.
bool plain_in_url(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '/';
}

std::string percent_encoded(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (plain_in_url(byte)) {
      out += c;
    } else {
      out += '%';
      out += hex[byte >> 4];
      out += hex[byte & 15];
    }
  }
  return out;
}

std::string cell(const std::string& html, const char* kind = "num") {
  return "<td class=\"" + std::string(kind) + "\">" + html + "</td>";
}

std::string optional_amount(const std::optional<double>& value, const std::string& units) {
  return value ? html_escape(amount_text(*value, units)) : missing;
}

std::string folder_row(const FolderResults& r, const std::string& page_dir) {
  const std::string link = report_link(r.folder, page_dir);
  const std::string name = html_escape(r.name);
  std::string html = "<tr><th scope=\"row\" class=\"folder\">" +
                     (link.empty() ? name : "<a href=\"" + html_escape(link) + "\">" + name + "</a>") + "</th>";
  html += cell("<span class=\"status " + std::string(r.ok ? "ok\">ok" : "failed\">failed") + "</span>", "state");
  if (!r.ok) {
    // What failed is all a failed folder shows: its numbers, if any, come from a run that did not finish.
    return html + "<td colspan=\"9\" class=\"message failure\">" + html_escape(r.message) + "</td></tr>\n";
  }
  std::string count = r.has_summary ? html_escape(r.n) : missing;
  if (r.below_detection > 0)
    count += " <span class=\"aside\">(" + std::to_string(r.below_detection) + " below DL)</span>";
  html += cell(count, "num count");
  html += cell(optional_amount(sample_statistic(r, geometric_mean), r.units));
  const std::optional<double> gsd = sample_statistic(r, geometric_sd);
  html += cell(gsd ? significant_text(*gsd) : missing);
  html += cell(optional_amount(estimate(r, vantor::percentile_95, q50), r.units));
  html += cell(optional_amount(estimate(r, vantor::percentile_95, q95), r.units));
  const std::optional<double> exceedance = estimate(r, vantor::exceedance_percent, q50);
  html += cell(exceedance ? html_escape(significant_text(*exceedance) + " %") : missing);
  const std::optional<double> probability = exceedance_probability(r, true);
  std::string shown = probability ? html_escape(percent_text(*probability)) : missing;
  if (probability && weights_differ(r)) shown += "<sup>w</sup>";
  html += cell(shown);
  html += cell(r.most_probable_band > 0 ? "<span class=\"band band-" + std::to_string(r.most_probable_band) + "\">" +
                                              band_text(r.most_probable_band) + "</span>"
                                        : missing,
               "text");
  html += cell(std::to_string(r.warnings.size()));
  return html + "</tr>\n";
}

}  // namespace

std::string report_link(const std::string& folder, const std::string& page_dir) {
  namespace fs = std::filesystem;
  std::error_code failure;
  const fs::path report = fs::path(folder.empty() ? "." : folder) / "report.html";
  if (!fs::is_regular_file(report, failure)) return "";
  const fs::path relative = fs::relative(report, page_dir.empty() ? fs::path(".") : fs::path(page_dir), failure);
  if (failure || relative.empty()) {
    // No relative path (another file system root): the absolute path as a file URL.
    const fs::path absolute = fs::absolute(report, failure);
    return failure ? "" : "file://" + percent_encoded(absolute.lexically_normal().generic_string());
  }
  // A leading segment such as "a:b" must not read as a scheme: ':' is encoded like every other such byte.
  return percent_encoded(relative.generic_string());
}

std::string overview_html(const std::vector<FolderResults>& results, const std::string& page_dir,
                          const ReportContext& context) {
  std::size_t failed = 0;
  bool any_weighted = false;
  for (const FolderResults& r : results) {
    if (!r.ok) ++failed;
    if (r.ok && weights_differ(r)) any_weighted = true;
  }
  std::string html = page_start("Band reports: overview");
  html.replace(html.rfind("<main>"), 6, "<main class=\"wide\">");
  html += "<h1>Band reports</h1>\n<p>" + std::to_string(results.size()) + " folders, " +
          std::to_string(results.size() - failed) + " ok, " + std::to_string(failed) +
          " failed. Each folder's name links its report.</p>\n";
  html +=
      "<p class=\"note\">Sample GM and GSD: the sample values of out_seg.txt. The 95th percentile, the "
      "exceedance and the probability come from the posterior, all groups of a folder pooled.</p>\n";
  html +=
      "<div class=\"table-wrap\"><table class=\"overview\">\n<tr>"
      "<th scope=\"col\">Folder</th><th scope=\"col\">Status</th><th scope=\"col\">n</th>"
      "<th scope=\"col\">Sample GM</th><th scope=\"col\">Sample GSD</th>"
      "<th scope=\"col\">95th percentile</th><th scope=\"col\">Its 95 % upper limit</th>"
      "<th scope=\"col\">Exceedance</th><th scope=\"col\">P(95th percentile &gt; limit)</th>"
      "<th scope=\"col\">Most probable band</th><th scope=\"col\">Warnings</th></tr>\n";
  for (const FolderResults& r : results) html += folder_row(r, page_dir);
  html +=
      "</table></div>\n<p class=\"note\">95th percentile: the posterior median (point estimate) and the 95 % "
      "upper credible limit. Exceedance: the posterior median share of exposures above the limit. "
      "P(95th percentile &gt; limit): the probability of band 5, with the folder's band weights.";
  if (any_weighted)
    html +=
        " <sup>w</sup> The folder's band weights are not all equal; they multiply the prior density within "
        "each band and are not prior probabilities of the bands.";
  html += "</p>\n";
  return html + page_end(context);
}

}  // namespace bandreport
