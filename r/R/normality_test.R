# The chi-square test of normality of the logarithms, as vantor computes it.

#' @export
normality_test <- function(values, below = NULL) {
  data <- measurements(values, below)
  reason <- NULL
  if (length(data$values) < 3) {
    reason <- if (length(data$values) == 2) "two values give the test no degrees of freedom" else "fewer than 3 values"
  } else if (any(data$below)) {
    reason <- "the test is not defined for results below a detection limit"
  }
  test <- .normality_core(data$values, data$below)
  if (is.null(reason) && test[1] == -9) reason <- "all values are equal"
  if (!is.null(reason)) return(list(statistic = NA_real_, p_value = NA_real_, reason = reason))
  list(statistic = test[1], p_value = test[2], reason = NA_character_)
}
