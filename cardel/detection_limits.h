// The summary of a table holding results below detection limits, with values imputed by regression on order statistics.
#pragma once

#include "cardel/group_statistics.h"

namespace cardel {

// For a table with at least one entry <X (table.below not empty): fills logy, logy_below and nlog with every
// measurement, group after group in row order (an entry <X as ln X, flagged; a zero as ln 1e-7), and computes the
// summary with the entries <X replaced by the values that regression on order statistics over all measurements
// imputes for them. Sums over all measurements run over the detected values in table order, then over the
// imputed values by limit (ascending) and rank. In a group's mean an entry <X counts as the mean of the values
// imputed for X. With fewer than two different detected values there is no fit and the summary keeps its -1
// markers. The random replacement of an all-equal table never applies here.
GroupSummary summarize_with_limits(GroupTable& table);

}  // namespace cardel
