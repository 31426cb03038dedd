# The posterior percentiles of five quantities of the lognormal model, as vantor --estimates computes them.

estimates_frame <- function(run) {
  frame <- data.frame(quantity = c("geometric_mean", "geometric_sd", "percentile_95", "arithmetic_mean",
                                   "exceedance_percent"))
  levels <- c("q2.5", "q50", "q70", "q95", "q97.5")
  for (p in seq_along(levels)) frame[[levels[p]]] <- run$estimates[, p]
  frame
}

#' @export
posterior_estimates <- function(values, limit, gm_bounds, gsd_bounds, weights = rep(1, 5), below = NULL,
                                threads = default_threads()) {
  data <- measurements(values, below)
  settings <- band_settings(limit, gm_bounds, gsd_bounds, weights, length(data$values))
  estimates_frame(run_bands(data, settings, estimates = TRUE, threads))
}
