// Warnings that the prior bounds decide the answer: the values' geometric mean and standard deviation against the
// bounds, and too few results above a detection limit.
#include "vantor/prior_warnings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/order_statistics_regression.h"

namespace vantor {

namespace {

// A value with 4 significant digits, as the warnings show the values' statistics.
std::string four_digits(double value) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4).ptr;
  return std::string(text, end);
}

std::string count_of(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<PriorWarning> prior_warnings(std::span<const double> log_values, std::span<const std::uint8_t> below,
                                         const Settings& settings) {
  std::vector<PriorWarning> warnings;
  const std::size_t total = log_values.size();
  std::size_t detected = 0;
  for (std::size_t i = 0; i < total; ++i) detected += below.empty() || below[i] == 0 ? 1 : 0;
  const bool censored = detected < total;

  // The logs the statistics use: the values themselves, or with values imputed for the entries below a limit.
  std::vector<double> logs;
  if (!censored) {
    logs.assign(log_values.begin(), log_values.end());
  } else {
    const core::OrderStatisticsFit fit = core::fit_order_statistics(log_values.data(), below.data(), total);
    if (fit.defined) {
      for (std::size_t i = 0; i < total; ++i)
        if (below[i] == 0) logs.push_back(log_values[i]);
      for (const core::LimitImputation& limit : fit.limits)
        logs.insert(logs.end(), limit.log_values.begin(), limit.log_values.end());
    }
  }
  const std::string imputed =
      censored ? " (results below a detection limit imputed by regression on order statistics)" : "";
  const auto outside = [&](PriorWarningKind low, PriorWarningKind high, double value, const double(&bounds)[2],
                           const char* what, const char* bounds_name, const char* advice) {
    const double lower = std::min(bounds[0], bounds[1]), upper = std::max(bounds[0], bounds[1]);
    if (value >= lower && value <= upper) return;
    PriorWarning w;
    w.kind = value < lower ? low : high;
    w.value = value;
    w.bounds[0] = lower;
    w.bounds[1] = upper;
    w.detected = detected;
    w.total = total;
    w.imputed = censored;
    w.text = std::string("the values' ") + what + " " + four_digits(value) + imputed + " lies " +
             (value < lower ? "below" : "above") + " the " + bounds_name + " bounds " + shown(lower) + " to " +
             shown(upper) + "; the probabilities are shaped by that bound (" + advice + ")";
    warnings.push_back(std::move(w));
  };
  if (!logs.empty()) {
    double sum = 0.0;
    for (double v : logs) sum += v;
    const double mean = sum / static_cast<double>(logs.size());
    outside(PriorWarningKind::gm_below, PriorWarningKind::gm_above, std::exp(mean), settings.gm_bounds,
            "geometric mean", "geometric-mean",
            "check that the values, the limit and the bounds use the same units, or widen the bounds in in_bayes.txt");
    if (logs.size() >= 2) {
      double squares = 0.0;
      for (double v : logs) squares += (v - mean) * (v - mean);
      const double gsd = std::exp(std::sqrt(squares / static_cast<double>(logs.size() - 1)));
      outside(PriorWarningKind::gsd_below, PriorWarningKind::gsd_above, gsd, settings.gsd_bounds,
              "geometric standard deviation", "geometric-standard-deviation", "widen the bounds in in_bayes.txt");
    }
  }
  if (detected < 2) {
    PriorWarning w;
    w.detected = detected;
    w.total = total;
    const char* rest = "; the probabilities and estimates are set mainly by the GM and GSD bounds";
    if (total == 1 && detected == 1)
      w.text = std::string("there is a single value, too few to show a spread") + rest;
    else
      w.text = "only " + std::to_string(detected) + " of " + count_of(total, "result", "results") +
               (detected == 1 ? " is" : " are") + " above a detection limit" + rest;
    warnings.push_back(std::move(w));
  }
  return warnings;
}

}  // namespace vantor
