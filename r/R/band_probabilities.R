# The posterior probabilities of the five bands of the 95th percentile relative to the limit, as vantor computes them.

# The bands' bounds as fractions of the limit.
band_from <- c(0, 0.01, 0.1, 0.5, 1)
band_to <- c(0.01, 0.1, 0.5, 1, Inf)

bands_frame <- function(settings, run) {
  data.frame(band = 1:5, from = band_from, to = band_to, weight = settings$weights, flat = run$flat,
             weighted = run$weighted)
}

#' @export
band_probabilities <- function(values, limit, gm_bounds, gsd_bounds, weights = rep(1, 5), below = NULL,
                               threads = default_threads()) {
  data <- measurements(values, below)
  settings <- band_settings(limit, gm_bounds, gsd_bounds, weights, length(data$values))
  bands_frame(settings, run_bands(data, settings, estimates = FALSE, threads))
}
