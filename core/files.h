// The pipeline's files: their names, the unit numbers diagnostics show for them, and the layout of their lines.
//
// cardel, vantor and bandreport all take these from here, so that a file is named and laid out in one place.
#pragma once

namespace core {

// The measurement table, read by cardel.
constexpr const char* table_file = "y.txt";
constexpr int table_unit = 10;

// cardel's summary: the fold range, then four statistics of all measurements.
constexpr const char* summary_file = "out_seg.txt";
constexpr int summary_unit = 20;
constexpr int summary_lines = 5;
constexpr int fold_range_width = 10;  // the fold range in a fixed-point field with 2 decimals
constexpr int fold_range_decimals = 2;
// Lines 2-5 are 24-character free-form doubles (textio::free_double_width).

// The logarithms of all measurements: written by cardel, read by vantor.
constexpr const char* logs_file = "logy.txt";
constexpr int logs_write_unit = 30;
constexpr int logs_read_unit = 100;
constexpr int count_width = 12;  // the count line

// vantor's normality test: the statistic, then the p-value.
constexpr const char* pvalue_file = "out_pvalue.txt";
constexpr int pvalue_unit = 120;
constexpr int pvalue_lines = 2;
constexpr int pvalue_width = 10;
constexpr int pvalue_decimals = 3;

// vantor's settings: the limit; two geometric-mean bounds; two geometric-standard-deviation bounds; five weights.
constexpr const char* settings_file = "in_bayes.txt";
constexpr int settings_unit = 140;

// vantor's band probabilities: one line per band, "weight,flat,weighted".
constexpr const char* bayes_file = "out_bayes.txt";
constexpr int bayes_unit = 200;            // the n = 0 markers and the several-value computation
constexpr int bayes_one_value_unit = 300;  // the one-value computation
constexpr int band_field_width = 11;
constexpr int band_field_decimals = 7;
constexpr char band_field_separator = ',';

// vantor --estimates: posterior percentiles of five quantities, one line each after a header, comma-separated.
constexpr const char* estimates_file = "out_estimates.txt";
constexpr int estimates_unit = 400;

// The units of the measurements, one line: written by bandreport for its reports; cardel and vantor do not read it.
constexpr const char* units_file = "units.txt";

}  // namespace core
