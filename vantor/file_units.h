// vantor's files: their names and the unit numbers that diagnostics show for them.
#pragma once

namespace vantor {

constexpr const char* values_file = "logy.txt";
constexpr int values_unit = 100;
constexpr const char* pvalue_file = "out_pvalue.txt";
constexpr int pvalue_unit = 120;
constexpr const char* settings_file = "in_bayes.txt";
constexpr int settings_unit = 140;
constexpr const char* bayes_file = "out_bayes.txt";
constexpr int bayes_unit = 200;            // markers and the several-value computation
constexpr int bayes_one_value_unit = 300;  // the one-value computation

}  // namespace vantor
