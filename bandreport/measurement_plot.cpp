// The log-probability plot: x is the normal quantile of each result's plotting position, y its value on a log scale.
// Results below a detection limit are drawn at their limit as open circles with a downward tick, since the
// value itself is only known to lie below it.
#include "bandreport/measurement_plot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "bandreport/decimal_text.h"
#include "bandreport/report_numbers.h"
#include "bandreport/text_escape.h"
#include "core/order_statistics_regression.h"
#include "distributions/log_scale.h"

namespace bandreport {

namespace {

struct Point {
  double z;          // normal quantile of the plotting position
  double log_value;  // ln of the result, or of its detection limit
  bool below;        // below a detection limit
};

// The plot area in the SVG's own units; the SVG scales to the page width.
constexpr double width = 560, height = 360;
constexpr double left = 66, right = width - 14, top = 14, bottom = height - 54;
constexpr double radius = 3.5;
constexpr double tick_length = 8;  // the downward tick under an open circle

std::string num(double value) { return fixed_decimals(value, 1); }

// Every finite entry at the plotting position regression on order statistics gives it, ascending along the plot.
std::vector<Point> plotted_points(const FolderResults& r) {
  std::vector<double> logs;
  std::vector<std::uint8_t> kinds;
  for (std::size_t i = 0; i < r.log_values.size(); ++i) {
    if (!std::isfinite(r.log_values[i])) continue;
    logs.push_back(r.log_values[i]);
    const bool below = i < r.below.size() && r.below[i] != 0;
    kinds.push_back(below ? core::below_limit : core::detected);
  }
  const std::vector<double> positions = core::plotting_positions(logs.data(), kinds.data(), logs.size());
  std::vector<Point> points;
  points.reserve(logs.size());
  for (std::size_t i = 0; i < logs.size(); ++i)
    points.push_back({distributions::normal_quantile(positions[i]), logs[i], kinds[i] == core::below_limit});
  std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.z < b.z; });
  return points;
}

// At most plot_point_limit points, evenly spaced in rank, the first and the last kept.
std::vector<Point> thinned(const std::vector<Point>& points) {
  if (points.size() <= plot_point_limit) return points;
  std::vector<Point> kept;
  kept.reserve(plot_point_limit);
  const double step = static_cast<double>(points.size() - 1) / static_cast<double>(plot_point_limit - 1);
  for (std::size_t k = 0; k < plot_point_limit; ++k)
    kept.push_back(points[static_cast<std::size_t>(std::llround(static_cast<double>(k) * step))]);
  return kept;
}

// Tick values on the log axis between exp(lo) and exp(hi): decades, with 2 and 5 (or every unit) between them
// when the range spans too few decades for three ticks, every few decades when it spans many.
std::vector<double> log_ticks(double lo, double hi) {
  const double ln10 = std::log(10.0);
  const int first = static_cast<int>(std::floor(lo / ln10)), last = static_cast<int>(std::ceil(hi / ln10));
  const std::vector<std::vector<double>> steps = {{1}, {1, 2, 5}, {1, 2, 3, 4, 5, 6, 7, 8, 9}};
  std::vector<double> ticks;
  for (const std::vector<double>& multiples : steps) {
    ticks.clear();
    const int stride = std::max(1, (last - first) / 8);
    for (int k = first; k <= last; k += multiples.size() == 1 ? stride : 1)
      for (double m : multiples) {
        const double value = m * std::pow(10.0, k);
        if (std::log(value) >= lo && std::log(value) <= hi) ticks.push_back(value);
      }
    if (ticks.size() >= 3) break;
  }
  return ticks;
}

}  // namespace

std::string measurement_plot_figure(const FolderResults& r) {
  const std::vector<Point> all = plotted_points(r);
  if (all.empty()) return "";
  const std::vector<Point> points = thinned(all);
  const std::size_t below_count =
      static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const Point& p) { return p.below; }));

  // The ranges: every point and the limit, and at least z from -2 to 2.
  double z_lo = -2, z_hi = 2, l_lo = points.front().log_value, l_hi = l_lo;
  for (const Point& p : points) {
    z_lo = std::min(z_lo, std::floor(p.z));
    z_hi = std::max(z_hi, std::ceil(p.z));
    l_lo = std::min(l_lo, p.log_value);
    l_hi = std::max(l_hi, p.log_value);
  }
  const double log_limit = r.settings ? std::log(r.settings->limit) : NAN;
  const bool has_limit = std::isfinite(log_limit);
  if (has_limit) {
    l_lo = std::min(l_lo, log_limit);
    l_hi = std::max(l_hi, log_limit);
  }
  const double pad = l_hi - l_lo < 1e-9 ? std::log(2.0) : 0.06 * (l_hi - l_lo);
  l_lo -= below_count > 0 ? 2 * pad : pad;  // room for the ticks under the lowest open circles
  l_hi += pad;
  const auto x_of = [&](double z) { return left + (z - z_lo) / (z_hi - z_lo) * (right - left); };
  const auto y_of = [&](double l) { return bottom - (l - l_lo) / (l_hi - l_lo) * (bottom - top); };
  const std::string units = r.units.empty() ? "" : " (" + html_escape(r.units) + ")";

  std::string svg = "<svg class=\"chart plot\" viewBox=\"0 0 " + num(width) + " " + num(height) +
                    "\" role=\"img\" aria-labelledby=\"plot-title plot-desc\" xmlns=\"http://www.w3.org/2000/svg\">\n"
                    "<title id=\"plot-title\">Measurements on a log-probability plot</title>\n<desc id=\"plot-desc\">" +
                    std::to_string(all.size()) + " results, " + std::to_string(below_count) +
                    " of them below a detection limit, against the normal quantile of their plotting "
                    "positions, on a log scale.</desc>\n";
  for (double z = std::ceil(z_lo); z <= z_hi; ++z) {
    const std::string x = num(x_of(z));
    svg += "<line class=\"grid\" x1=\"" + x + "\" y1=\"" + num(top) + "\" x2=\"" + x + "\" y2=\"" + num(bottom) +
           "\"/>\n<text class=\"tick\" x=\"" + x + "\" y=\"" + num(bottom + 16) + "\">" + fixed_decimals(z, 0) +
           "</text>\n";
  }
  for (double value : log_ticks(l_lo, l_hi)) {
    const std::string y = num(y_of(std::log(value)));
    svg += "<line class=\"grid\" x1=\"" + num(left) + "\" y1=\"" + y + "\" x2=\"" + num(right) + "\" y2=\"" + y +
           "\"/>\n<text class=\"ytick\" x=\"" + num(left - 5) + "\" y=\"" + num(y_of(std::log(value)) + 4) + "\">" +
           significant_text(value, false) + "</text>\n";
  }
  svg += "<line class=\"axis\" x1=\"" + num(left) + "\" y1=\"" + num(bottom) + "\" x2=\"" + num(right) + "\" y2=\"" +
         num(bottom) + "\"/>\n<line class=\"axis\" x1=\"" + num(left) + "\" y1=\"" + num(top) + "\" x2=\"" + num(left) +
         "\" y2=\"" + num(bottom) + "\"/>\n";
  svg += "<text class=\"axis-label\" x=\"" + num((left + right) / 2) + "\" y=\"" + num(height - 12) +
         "\">Normal quantile of the plotting position</text>\n";
  svg += "<text class=\"axis-label\" transform=\"rotate(-90)\" x=\"" + num(-(top + bottom) / 2) +
         "\" y=\"14\">Measurement" + units + ", log scale</text>\n";

  if (has_limit) {
    const std::string y = num(y_of(log_limit));
    svg += "<line class=\"limit\" x1=\"" + num(left) + "\" y1=\"" + y + "\" x2=\"" + num(right) + "\" y2=\"" + y +
           "\"/>\n<text class=\"limit-label\" x=\"" + num(right - 4) + "\" y=\"" + num(y_of(log_limit) - 5) +
           "\">limit " + html_escape(shortest_text(r.settings->limit) + (r.units.empty() ? "" : " " + r.units)) +
           "</text>\n";
  }
  // The lognormal of the posterior medians: ln y = ln gm + ln gsd z, cut to the plot area.
  const std::optional<double> gm = estimate(r, vantor::geometric_mean, q50);
  const std::optional<double> gsd = estimate(r, vantor::geometric_sd, q50);
  const bool fitted = gm && gsd && *gm > 0 && *gsd >= 1;
  if (fitted) {
    const double a = std::log(*gm), b = std::log(*gsd);
    double z1 = z_lo, z2 = z_hi;
    if (b > 0) {
      z1 = std::max(z1, (l_lo - a) / b);
      z2 = std::min(z2, (l_hi - a) / b);
    }
    if (z1 < z2 && a + b * z1 >= l_lo - 1e-9 && a + b * z1 <= l_hi + 1e-9)
      svg += "<line class=\"fit\" x1=\"" + num(x_of(z1)) + "\" y1=\"" + num(y_of(a + b * z1)) + "\" x2=\"" +
             num(x_of(z2)) + "\" y2=\"" + num(y_of(a + b * z2)) + "\"/>\n";
  }
  for (const Point& p : points) {
    const double x = x_of(p.z), y = y_of(p.log_value);
    if (p.below) {
      svg += "<circle class=\"below\" cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(radius) +
             "\" fill=\"none\"/><line class=\"below-tick\" x1=\"" + num(x) + "\" y1=\"" + num(y + radius) + "\" x2=\"" +
             num(x) + "\" y2=\"" + num(y + radius + tick_length) + "\"/>\n";
    } else {
      svg += "<circle class=\"detected\" cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(radius) + "\"/>\n";
    }
  }
  svg += "</svg>\n";

  std::string caption = "Each result at the normal quantile of its plotting position (";
  caption +=
      below_count > 0 ? "those of regression on order statistics, as cardel uses them" : "rank r of n at r/(n + 1)";
  caption += "). Filled circles: detected results.";
  if (below_count > 0)
    caption +=
        " Open circles with a downward tick: results below a detection limit, drawn at the limit; the "
        "result itself lies below it.";
  caption += fitted ? " Solid line: the lognormal distribution with the posterior median geometric mean and "
                      "geometric standard deviation."
                    : " No fitted line: the posterior estimates were not read.";
  if (has_limit) caption += " Dashed line: the limit.";
  if (points.size() < all.size())
    caption += " " + std::to_string(points.size()) + " of the " + std::to_string(all.size()) +
               " results are drawn, evenly spaced along the plot.";
  return "<figure>\n" + svg + "<figcaption>" + caption + "</figcaption>\n</figure>\n";
}

}  // namespace bandreport
