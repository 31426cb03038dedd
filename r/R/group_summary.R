# The group summary of a table of measurements, as cardel computes it.

#' @export
group_summary <- function(values, group = NULL, below = NULL, seed = NULL) {
  if (!is.null(group) && length(group) != length(values))
    stop("group must be as long as values", call. = FALSE)
  if (is.null(group)) group <- rep(1L, length(values))
  keep <- !is.na(values)
  group_kept <- group[keep]
  if (anyNA(group_kept)) stop("group must not be NA where values are given", call. = FALSE)
  data <- measurements(values, below)
  # Groups in order of first appearance, as a table's columns.
  codes <- match(group_kept, unique(group_kept))
  if (is.null(seed)) {
    seed <- floor(stats::runif(2) * 2^32)
  } else {
    if (!is.numeric(seed) || length(seed) != 1 || is.na(seed) || seed < 0 || seed > 2^53 || seed != floor(seed))
      stop("seed must be a whole number from 0 to 2^53", call. = FALSE)
    seed <- c(floor(seed / 2^32), seed %% 2^32)
  }
  s <- .group_summary_core(data$values, as.integer(codes), data$below, seed[1], seed[2])
  reasons <- character()
  no_value <- s$n == 0 || (s$below > 0 && !s$imputed)
  if (no_value) {
    why <- if (s$n == 0) "there is no measurement" else
      "regression on order statistics needs at least 2 different detected values"
    reasons <- c(fold_range = why, mean = why, sd = why, gm = why, gsd = why)
  } else {
    if (s$fold_range == 0) reasons["fold_range"] <- "only one group has measurements: there is no spread between groups"
    if (s$n == 1) reasons[c("sd", "gsd")] <- "a single measurement has no spread"
  }
  value <- function(name) if (name %in% names(reasons)) NA_real_ else s[[name]]
  result <- list(fold_range = value("fold_range"), mean = value("mean"), sd = value("sd"), gm = value("gm"),
                 gsd = value("gsd"), n = s$n, n_below = s$below, reasons = reasons)
  if (s$randomly_replaced) result$seed <- seed[1] * 2^32 + seed[2]
  result
}
