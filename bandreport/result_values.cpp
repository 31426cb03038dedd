// A folder's results as the summary table and report.json show them: each field a number or nothing, with reasons.
#include "bandreport/result_values.h"

#include <algorithm>
#include <utility>

#include "core/files.h"

namespace bandreport {

namespace {

// What a field is, as far as its markers go: most fields know only -1, -9, asterisks and words.
enum class Kind { plain, spread, fold_range, normality };

// What is known of the data the files were computed from.
struct Facts {
  std::optional<double> n;  // the count of logy.txt, when it was read
  std::size_t below = 0;    // its entries below a detection limit
};

bool all_asterisks(const std::string& text) {
  return !text.empty() && text.find_first_not_of('*') == std::string::npos;
}

// Why a field that its file holds shows no number of the data; empty when it shows one.
std::string reason_for(const std::string& text, const std::optional<double>& value, Kind kind, const char* file,
                       const Facts& facts) {
  if (all_asterisks(text)) {
    if (kind == Kind::fold_range) return "10 million or more, too wide for its field (asterisks in out_seg.txt)";
    return std::string("too wide for its field (asterisks in ") + file + ")";
  }
  if (!value) return std::string("not a finite number (") + file + " shows " + text + ")";
  const bool one_value = facts.n == 1.0;
  if (*value == -1.0) {
    if (facts.n == 0.0) return "there are no measurements";
    if (kind != Kind::normality && facts.below > 0)
      return "regression on order statistics needs at least 2 different detected values";
    return std::string(file) + " holds the -1 marker";
  }
  if (*value == -9.0) {
    if (kind != Kind::normality) return std::string(file) + " holds the -9 marker";
    if (facts.below > 0) return "the normality test is not defined with results below a detection limit";
    return one_value ? "a single value is too few for the normality test" : "too few values for the normality test";
  }
  // Two values make k = ceil(2 n^0.4) = 3 classes and k - 3 = 0 degrees of freedom: the statistic is always 1 and
  // the p-value 0, which is no test at all.
  if (kind == Kind::normality && facts.n == 2.0) return "two values leave the normality test no degrees of freedom";
  if (kind == Kind::spread && one_value && *value == 0.0) return "a single value has no spread";
  // A fold range is at least 1; cardel writes 0 when only one group holds measurements.
  if (kind == Kind::fold_range && *value == 0.0) return "a single group has no spread between groups";
  return "";
}

// The reasons of a folder's empty fields, each with the fields it empties.
class Notes {
 public:
  void add(const std::string& label, const std::string& reason) {
    ++noted_;
    auto group = std::find_if(groups_.begin(), groups_.end(), [&](const auto& g) { return g.first == reason; });
    if (group == groups_.end()) group = groups_.insert(groups_.end(), {reason, {}});
    if (std::find(group->second.begin(), group->second.end(), label) == group->second.end())
      group->second.push_back(label);
  }
  void count_present() { ++present_; }

  std::vector<std::string> lines() const {
    std::vector<std::string> lines;
    for (const auto& [reason, labels] : groups_) {
      std::string line;
      if (groups_.size() == 1 && noted_ == present_) {
        line = "all results";  // e.g. n = 0: every file holds its markers
      } else {
        for (const std::string& label : labels) line += (line.empty() ? "" : ", ") + label;
      }
      lines.push_back(line + ": " + reason);
    }
    return lines;
  }

 private:
  std::vector<std::pair<std::string, std::vector<std::string>>> groups_;
  std::size_t noted_ = 0, present_ = 0;
};

// One field: its value when the file was read and the field is a number of the data; else empty, with a note.
ResultValue evaluate(bool present, const std::string& text, Kind kind, const char* file, const std::string& label,
                     const Facts& facts, Notes& notes) {
  if (!present) return {};
  notes.count_present();
  const std::optional<double> value = field_value(text);
  const std::string reason = reason_for(text, value, kind, file, facts);
  if (!reason.empty()) {
    notes.add(label, reason);
    return {};
  }
  return {plain_number_text(text), value};
}

constexpr const char* summary_names[summary_fields] = {"arithmetic_mean", "standard_deviation", "geometric_mean",
                                                       "geometric_sd", "fold_range"};

}  // namespace

std::string plain_number_text(std::string_view text) {
  const std::size_t mark = text.find_first_of("eE");
  if (mark == std::string_view::npos) return std::string(text);
  std::string plain(text.substr(0, mark));
  std::string_view exponent = text.substr(mark + 1);
  const bool negative = !exponent.empty() && exponent.front() == '-';
  if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) exponent.remove_prefix(1);
  const std::size_t first_digit = exponent.find_first_not_of('0');
  if (first_digit == std::string_view::npos) return plain;  // e+000: the digits are the number
  return plain + (negative ? "e-" : "e") + std::string(exponent.substr(first_digit));
}

ResultValues result_values(const FolderResults& r) {
  ResultValues v;
  Notes notes;
  Facts facts;
  facts.below = r.below_detection;
  if (r.has_summary) {
    facts.n = field_value(r.n);
    if (facts.n) v.n = {r.n, facts.n};
  }
  for (int f = 0; f < summary_fields; ++f) {
    const Kind kind = f == fold_range                                ? Kind::fold_range
                      : f == standard_deviation || f == geometric_sd ? Kind::spread
                                                                     : Kind::plain;
    v.summary[f] = evaluate(r.has_summary, r.summary[f], kind, core::summary_file, summary_names[f], facts, notes);
  }
  v.chi_square = evaluate(r.has_bands, r.chi_square, Kind::normality, core::pvalue_file, "chi_square", facts, notes);
  v.p_value = evaluate(r.has_bands, r.p_value, Kind::normality, core::pvalue_file, "p_value", facts, notes);
  for (int k = 0; k < band_count; ++k) {
    v.weight[k] = evaluate(r.has_bands, r.weight[k], Kind::plain, core::bayes_file, "band weights", facts, notes);
    v.flat[k] = evaluate(r.has_bands, r.flat[k], Kind::plain, core::bayes_file, "band probabilities", facts, notes);
    v.weighted[k] =
        evaluate(r.has_bands, r.weighted[k], Kind::plain, core::bayes_file, "band probabilities", facts, notes);
  }
  for (int q = 0; q < quantity_count; ++q)
    for (int p = 0; p < percentile_count; ++p)
      v.estimates[q][p] =
          evaluate(r.has_estimates, r.estimates[q][p], Kind::plain, core::estimates_file, "estimates", facts, notes);
  v.notes = notes.lines();
  return v;
}

}  // namespace bandreport
