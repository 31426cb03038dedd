# All of the analysis of one set of results in one call, printed like the head of a report.

#' @export
analyse <- function(values, limit, gm_bounds, gsd_bounds, weights = rep(1, 5), below = NULL, group = NULL,
                    seed = NULL, threads = default_threads()) {
  # The bands see the values group after group, in the order cardel writes them to logy.txt.
  ord <- if (is.null(group)) seq_along(values) else order(match(group, unique(group)), method = "radix")
  data <- measurements(values[ord], if (is.null(below)) NULL else below[ord])
  settings <- band_settings(limit, gm_bounds, gsd_bounds, weights, length(data$values))
  warnings <- character()
  keep <- function(w) {
    warnings <<- c(warnings, conditionMessage(w))
    invokeRestart("muffleWarning")
  }
  run <- withCallingHandlers(run_bands(data, settings, estimates = TRUE, threads), warning = keep)
  result <- list(summary = group_summary(values, group, below, seed), normality = normality_test(values, below),
                 bands = bands_frame(settings, run), estimates = estimates_frame(run), warnings = warnings,
                 settings = settings)
  class(result) <- "limitband_analysis"
  result
}

# A probability as the reports show it: whole percent, "< 1 %" and "> 99 %" at the ends.
percent <- function(p) {
  if (p < 0.01) return("< 1 %")
  if (p > 0.99) return("> 99 %")
  paste(format(round(100 * p)), "%")
}

band_labels <- c("below 1 %", "1\u201310 %", "10\u201350 %", "50\u2013100 %", "above 100 %")

#' @export
print.limitband_analysis <- function(x, ...) {
  s <- x$summary
  cat(sprintf("Analysis of %s results%s against the limit %s\n", format(s$n),
              if (s$n_below > 0) sprintf(" (%s below a detection limit)", format(s$n_below)) else "",
              format(x$settings$limit)))
  if (length(x$warnings) > 0) cat(paste0("Warning: ", x$warnings, "\n"), sep = "")
  weighted <- any(x$settings$weights != x$settings$weights[1])
  above <- x$bands$weighted[5]
  cat("Probability that the 95th percentile exceeds the limit: ", percent(above),
      if (weighted) paste0(" with your band weights (", percent(x$bands$flat[5]), " with equal weights)") else "",
      "\n", sep = "")
  best <- which.max(x$bands$weighted)
  cat("Most probable band: ", best, ", ", band_labels[best], " of the limit (", percent(x$bands$weighted[best]),
      ")\n", sep = "")
  p95 <- x$estimates[x$estimates$quantity == "percentile_95", ]
  cat("95th percentile: ", format(signif(p95$q50, 4)), " (95 % upper credible limit ", format(signif(p95$q95, 4)),
      ")", if (weighted) " with your band weights" else "", "\n", sep = "")
  invisible(x)
}
