# Argument checks shared by the package's functions, worded like the programs' refusals.

# The measurements without their NA entries, and the matching flags of results below a detection limit.
measurements <- function(values, below) {
  if (!is.numeric(values) && !all(is.na(values))) stop("values must be numeric measurements", call. = FALSE)
  if (is.null(below)) below <- rep(FALSE, length(values))
  if (!is.logical(below) || length(below) != length(values))
    stop("below must be a logical vector as long as values (TRUE where the value is a detection limit)",
         call. = FALSE)
  keep <- !is.na(values)
  values <- as.double(values[keep])
  below <- below[keep]
  if (anyNA(below)) stop("below must not be NA where values are given", call. = FALSE)
  if (any(!is.finite(values)))
    stop("values must be finite numbers; write a missing result as NA", call. = FALSE)
  if (any(values < 0))
    stop("values must not be negative (", values[values < 0][1], "); write a missing result as NA", call. = FALSE)
  if (any(below & values <= 0))
    stop(values[below & values <= 0][1], " is not a detection limit: a value marked below must be a positive ",
         "number, such as 0.05", call. = FALSE)
  list(values = values, below = below)
}

# The settings as in_bayes.txt holds them, refused with the programs' words when they cannot be used.
band_settings <- function(limit, gm_bounds, gsd_bounds, weights, count) {
  number <- function(x, n, name) {
    if (!is.numeric(x) || length(x) != n || anyNA(x))
      stop(name, " must be ", if (n == 1) "one number" else paste(n, "numbers"), call. = FALSE)
    as.double(x)
  }
  limit <- number(limit, 1, "limit")
  gm_bounds <- number(gm_bounds, 2, "gm_bounds")
  gsd_bounds <- number(gsd_bounds, 2, "gsd_bounds")
  weights <- number(weights, 5, "weights")
  refusal <- .settings_refusal(limit, gm_bounds, gsd_bounds, weights, count)
  if (nzchar(refusal)) stop(sub("invalid setting band_prior", "invalid setting weights", refusal), call. = FALSE)
  list(limit = limit, gm_bounds = gm_bounds, gsd_bounds = gsd_bounds, weights = weights)
}

# The threads the grid may use: the cores R allows, one unless the session says otherwise.
default_threads <- function() {
  threads <- getOption("Ncpus", 1L)
  if (!is.numeric(threads) || length(threads) != 1 || is.na(threads) || threads < 1) 1L else as.integer(threads)
}

# The band computation for checked data and settings: an R error for what the programs refuse or stop on, one
# R warning for the integrator's troubles and one for each prior-bound warning.
run_bands <- function(data, settings, estimates, threads) {
  if (length(data$values) == 0) stop("there are no values (every value is NA)", call. = FALSE)
  threads <- as.integer(threads)
  if (length(threads) != 1 || is.na(threads) || threads < 1) stop("threads must be a whole number of 1 or more",
                                                                 call. = FALSE)
  run <- .bands_core(data$values, data$below, settings$limit, settings$gm_bounds, settings$gsd_bounds,
                     settings$weights, estimates, threads)
  switch(run$outcome,
         refused = stop(sub("invalid setting band_prior", "invalid setting weights", run$refusal), call. = FALSE),
         stopped = stop("the quadrature library stopped the computation:\n", run$printed, call. = FALSE),
         interrupted = stop("interrupted", call. = FALSE))
  integrals <- integrator_note(run)
  if (nzchar(integrals)) warning(integrals, call. = FALSE)
  # The programs point to the settings file; here the bounds are arguments.
  for (w in run$warnings) warning(sub(" in in_bayes.txt", "", w, fixed = TRUE), call. = FALSE)
  run
}

# One sentence on the band integrals of a single value that did not end plainly, or "".
integrator_note <- function(run) {
  parts <- character()
  if (run$warned > 0) {
    parts <- c(parts, if (run$warned_beyond == 0) {
      sprintf("%s ended with a WARNING of the integrator, each within its requested tolerance", format(run$warned))
    } else {
      sprintf("%s ended with a WARNING of the integrator, %s of them outside its requested tolerance and so computed from the exponential integral",
              format(run$warned), format(run$warned_beyond))
    })
  }
  if (run$unfinished > 0)
    parts <- c(parts, sprintf("%s could not be finished by the integrator and were computed from the exponential integral",
                              format(run$unfinished)))
  if (run$missed > 0)
    parts <- c(parts, sprintf("%s came back from the integrator as 0 although they hold probability and were computed from the exponential integral",
                              format(run$missed)))
  if (length(parts) == 0) return("")
  paste0("of the 150000 band integrals, ", paste(parts, collapse = "; "))
}
