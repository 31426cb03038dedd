# Arguments the programs would refuse are R errors in the programs' words; results below a detection limit,
# missing values and the integrator's troubles reach the user as they should.

settings <- list(limit = 5, gm_bounds = c(0.5, 20), gsd_bounds = c(1.2, 8))
x <- c(1.2, 0.9, 1.5, 2.0, 0.8, 1.1, 0.7, 2.5, 3.0)

bands <- function(values = x, gsd_bounds = settings$gsd_bounds, weights = rep(1, 5), ...) {
  band_probabilities(values, settings$limit, settings$gm_bounds, gsd_bounds, weights, ...)
}

test_that("refused settings and values are errors naming what to change", {
  refusals <- list(
    list(quote(bands(gsd_bounds = c(10, 1.05))),
         "invalid setting gsd_bounds = 10, 1.05: the bounds must be strictly ascending"),
    list(quote(bands(gsd_bounds = c(0.5, 2))),
         "invalid setting gsd_bounds(1) = 0.5: a geometric standard deviation is at least 1"),
    list(quote(bands(weights = c(0, 0, 0, 0, 0))),
         "invalid setting weights = 0, 0, 0, 0, 0: at least one band weight must be positive"),
    list(quote(bands(values = 0.3, gsd_bounds = c(1, 8))),
         "invalid setting gsd_bounds(1) = 1: with a single value the lower bound must be above 1"),
    list(quote(band_probabilities(c(1, 1), 5, c(1, 2), c(1, 2))),
         "invalid setting gsd_bounds(1) = 1: every value equals the geometric mean 1 of a grid point"),
    list(quote(band_probabilities(x, 0.001, c(0.001, 10), c(1.2, 10), c(1, 0, 0, 0, 0))),
         "invalid setting weights = 1, 0, 0, 0, 0: the weights are 0 on every band that holds probability"),
    list(quote(bands(values = c(1, -2))), "values must not be negative (-2); write a missing result as NA"),
    list(quote(bands(values = c(1, 0), below = c(FALSE, TRUE))), "0 is not a detection limit"),
    list(quote(bands(values = c(NA, NA))), "there are no values (every value is NA)"),
    list(quote(bands(weights = 1)), "weights must be 5 numbers")
  )
  for (r in refusals) expect_error(eval(r[[1]]), r[[2]], fixed = TRUE, info = deparse(r[[1]]))
})

test_that("NA is a missing result and changes nothing else", {
  expect_identical(suppressWarnings(bands(values = c(NA, x, NA))), suppressWarnings(bands()))
  expect_identical(group_summary(c(x, NA), group = c(rep(1:3, 3), 2), seed = 1),
                   group_summary(x, group = rep(1:3, 3), seed = 1))
})

test_that("results below a detection limit are imputed for the summary and censored for the bands", {
  values <- c(0.21, 0.08, 0.05, 0.05, 0.15, 0.27, 0.34, 0.1)
  below <- c(FALSE, FALSE, TRUE, TRUE, FALSE, FALSE, FALSE, TRUE)
  s <- group_summary(values, below = below)
  expect_equal(c(s$n, s$n_below), c(8, 3))
  expect_true(s$gm < 0.21 && s$gm > 0.05)
  expect_identical(normality_test(values, below)$reason,
                   "the test is not defined for results below a detection limit")
  b <- band_probabilities(values, 1, c(0.001, 10), c(1.1, 10), below = below)
  expect_equal(sum(b$flat), 1)
  # Too few detected values to fit: no summary numbers, each with its reason.
  few <- group_summary(c(0.3, 0.05, 0.05), below = c(FALSE, TRUE, TRUE))
  expect_true(is.na(few$gm))
  expect_match(few$reasons[["gm"]], "at least 2 different detected values")
})

test_that("the markers of the programs are NA with a reason", {
  one <- group_summary(0.42)
  expect_true(is.na(one$sd) && is.na(one$fold_range))
  expect_equal(one$gm, 0.42)
  expect_identical(normality_test(c(0.4, 0.5))$reason, "two values give the test no degrees of freedom")
  expect_identical(normality_test(c(2, 2, 2))$reason, "all values are equal")
})

test_that("the integrator's troubles are one warning with their count; prior bounds warn in plain words", {
  expect_warning(expect_warning(band_probabilities(0.42, 1, c(0.001, 10), c(1.01, 10)),
                                "of the 150000 band integrals, 8691 ended with a WARNING of the integrator, each within its requested tolerance",
                                fixed = TRUE),
                 "there is a single value, too few to show a spread", fixed = TRUE)
  expect_warning(band_probabilities(c(215, 180, 260), 1, c(0.001, 10), c(1.1, 10)),
                 "geometric mean 215.9 lies above the geometric-mean bounds 0.001 to 10; the probabilities are shaped by that bound (check that the values, the limit and the bounds use the same units, or widen the bounds)",
                 fixed = TRUE)
})

test_that("the analysis reads like the head of a report", {
  a <- suppressWarnings(analyse(x, 5, c(0.5, 20), c(1.2, 8), c(0.1, 0.2, 0.3, 0.25, 0.15)))
  text <- capture.output(print(a))
  expect_match(text[1], "^Analysis of 9 results against the limit 5$")
  expect_match(text[2], "^Probability that the 95th percentile exceeds the limit: .* with your band weights")
  expect_match(text[4], "^95th percentile: [0-9.]+ \\(95 % upper credible limit [0-9.]+\\) with your band weights$")
})
