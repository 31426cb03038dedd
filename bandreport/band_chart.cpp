// The inline SVG bar chart of report.html: per band, the flat and the weighted probability side by side.
#include <algorithm>
#include <string>

#include "bandreport/decimal_text.h"
#include "bandreport/report_html.h"
#include "bandreport/report_numbers.h"
#include "bandreport/text_escape.h"

namespace bandreport {

using core::band_labels;

namespace {

// Geometry in the chart's own units; the SVG scales to the page width.
constexpr int chart_width = 500;
constexpr int label_width = 92;  // band names on the left
constexpr int bar_left = 98;
constexpr int bar_span = 320;  // the length of a bar of probability 1
constexpr int legend_height = 34;
constexpr int bar_height = 16;
constexpr int bar_gap = 3;
constexpr int band_gap = 16;
constexpr int band_height = 2 * bar_height + bar_gap + band_gap;
constexpr int axis_height = 26;
constexpr int chart_height = legend_height + band_count * band_height + axis_height;

// A coordinate: one decimal is finer than the screen shows.
std::string num(double value) { return fixed_decimals(value, 1); }

// A probability as the chart writes it: a percentage, or the field as written when it is not a probability.
std::string probability_text(const std::string& field) {
  const std::optional<double> value = field_value(field);
  return value && *value >= 0.0 && *value <= 1.0 ? percent_text(*value) : field;
}

// One bar with its probability written after its end.
std::string bar(const std::string& text, double y, const char* series) {
  const std::optional<double> value = field_value(text);
  const double length = bar_span * std::clamp(value.value_or(0.0), 0.0, 1.0);
  return "<rect class=\"bar " + std::string(series) + "\" x=\"" + num(bar_left) + "\" y=\"" + num(y) + "\" width=\"" +
         num(length) + "\" height=\"" + num(bar_height) + "\"/>\n<text class=\"value\" x=\"" +
         num(bar_left + length + 5) + "\" y=\"" + num(y + bar_height - 4) + "\">" +
         html_escape(probability_text(text)) + "</text>\n";
}

}  // namespace

std::string band_chart_svg(const FolderResults& r) {
  std::string description = "Probability of each band, flat prior then weighted:";
  for (int k = 0; k < band_count; ++k)
    description += std::string(k ? ";" : "") + " " + band_labels[k] + ": " + probability_text(r.flat[k]) + ", " +
                   probability_text(r.weighted[k]);
  std::string svg = "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(chart_width) + " " +
                    std::to_string(chart_height) +
                    "\" role=\"img\" aria-labelledby=\"chart-title chart-desc\" xmlns=\"http://www.w3.org/2000/svg\">\n"
                    "<title id=\"chart-title\">Band probabilities, flat and weighted posterior</title>\n"
                    "<desc id=\"chart-desc\">" +
                    html_escape(description) + "</desc>\n";
  // Legend: round keys, so that the chart's only rectangles are its ten bars.
  svg += "<circle class=\"flat\" cx=\"" + num(bar_left + 6) + "\" cy=\"14\" r=\"6\"/>\n<text x=\"" +
         num(bar_left + 17) + "\" y=\"19\">flat prior</text>\n<circle class=\"weighted\" cx=\"" + num(bar_left + 110) +
         "\" cy=\"14\" r=\"6\"/>\n<text x=\"" + num(bar_left + 121) +
         "\" y=\"19\">weighted by the band weights</text>\n";
  // Grid lines and the probability axis.
  const int axis_y = legend_height + band_count * band_height;
  const char* const ticks[] = {"0", "25 %", "50 %", "75 %", "100 %"};
  for (int tick = 0; tick <= 4; ++tick) {
    const double x = bar_left + bar_span * tick / 4.0;
    svg += "<line class=\"grid\" x1=\"" + num(x) + "\" y1=\"" + num(legend_height - 6) + "\" x2=\"" + num(x) +
           "\" y2=\"" + num(axis_y) + "\"/>\n<text class=\"tick\" x=\"" + num(x) + "\" y=\"" + num(axis_y + 16) +
           "\">" + ticks[tick] + "</text>\n";
  }
  for (int k = 0; k < band_count; ++k) {
    const double top = legend_height + k * band_height;
    svg += "<text class=\"band\" x=\"" + num(label_width) + "\" y=\"" + num(top + bar_height + 2) + "\">" +
           band_labels[k] + "</text>\n";
    svg += bar(r.flat[k], top, "flat");
    svg += bar(r.weighted[k], top + bar_height + bar_gap, "weighted");
  }
  return svg + "</svg>\n";
}

}  // namespace bandreport
