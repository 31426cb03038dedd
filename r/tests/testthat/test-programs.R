# The package gives the programs' numbers: digit for digit as their files show them, and bit for bit as the core
# computes them.

cases <- list(
  example = list(values = c(1.2, 0.9, 1.5, 2.0, 0.8, 1.1, 0.0, 0.7, 2.5, 3.0), below = rep(FALSE, 10),
                 group = c(1, 1, 1, 1, 2, 2, 2, 2, 3, 3), limit = 5, gm_bounds = c(0.5, 20), gsd_bounds = c(1.2, 8),
                 weights = c(0.1, 0.2, 0.3, 0.25, 0.15), seed = 7),
  below_limits = list(values = c(0.21, 0.08, 0.05, 0.05, 0.15, 0.27, 0.34, 0.1),
                      below = c(FALSE, FALSE, TRUE, TRUE, FALSE, FALSE, FALSE, TRUE),
                      group = c("a", "a", "b", "b", "a", "c", "c", "b"), limit = 1, gm_bounds = c(0.001, 10),
                      gsd_bounds = c(1.1, 10), weights = rep(1, 5), seed = 11),
  single = list(values = 0.42, below = FALSE, group = 1, limit = 1, gm_bounds = c(0.001, 10),
                gsd_bounds = c(1.5, 3), weights = rep(1, 5), seed = 3),
  thirty = list(values = exp(((1:30 * 7919) %% 1009 + (1:30 * 104729) %% 1013 + (1:30 * 15485863) %% 1019 - 1512) / 600),
                below = rep(FALSE, 30), group = rep(1:3, 10), limit = 4, gm_bounds = c(0.3, 5), gsd_bounds = c(1.1, 5),
                weights = c(0.1, 0.2, 0.3, 0.25, 0.15), seed = 5)
)

analysis_of <- function(case) {
  suppressWarnings(analyse(case$values, case$limit, case$gm_bounds, case$gsd_bounds, case$weights,
                           below = case$below, group = case$group, seed = case$seed, threads = 2))
}

# A 24-character field of out_seg.txt holds 15 significant digits.
fifteen_digits <- function(x) as.numeric(sprintf("%.14e", x))

test_that("the files of the programs hold the package's numbers, digit for digit", {
  for (name in names(cases)) {
    case <- cases[[name]]
    files <- run_programs(case)
    a <- analysis_of(case)
    s <- a$summary
    seg <- as.numeric(trimws(files$seg))
    expect_equal(is.na(c(s$fold_range, s$mean, s$sd, s$gm, s$gsd)), seg %in% c(-1, 0), info = name)
    if (!is.na(s$fold_range)) expect_equal(sprintf("%10.2f", s$fold_range), files$seg[1], info = name)
    stats <- c(s$mean, s$sd, s$gm, s$gsd)
    expect_identical(fifteen_digits(stats[!is.na(stats)]), seg[2:5][!is.na(stats)], info = name)
    test <- if (is.na(a$normality$statistic)) c(-9, -9) else c(a$normality$statistic, a$normality$p_value)
    if (length(case$values) >= 3) expect_identical(sprintf("%10.3f", test), files$pvalue, info = name)
    b <- a$bands
    expect_identical(sprintf("%11.7f,%11.7f,%11.7f", b$weight, b$flat, b$weighted), files$bayes, info = name)
    fields <- strsplit(files$estimates[-1], ",", fixed = TRUE)
    expect_identical(vapply(fields, `[`, "", 1), a$estimates$quantity, info = name)
    written <- t(vapply(fields, function(f) as.numeric(f[-1]), numeric(5)))
    expect_identical(written, unname(as.matrix(a$estimates[, -1])), info = name)
  }
})

test_that("the package's doubles are the core's own, bit for bit, on any number of threads", {
  for (name in names(cases)) {
    case <- cases[[name]]
    core <- core_numbers(case)
    a <- analysis_of(case)
    s <- a$summary
    for (field in c("fold_range", "mean", "sd", "gm", "gsd"))
      if (!is.na(s[[field]])) expect_identical(s[[field]], core[[field]], info = paste(name, field))
    if (!is.na(a$normality$statistic)) {
      expect_identical(a$normality$statistic, core[["statistic"]], info = name)
      expect_identical(a$normality$p_value, core[["pvalue"]], info = name)
    }
    expect_identical(a$bands$flat, unname(core[paste0("flat", 1:5)]), info = name)
    expect_identical(a$bands$weighted, unname(core[paste0("weighted", 1:5)]), info = name)
    estimates <- unname(as.matrix(a$estimates[, -1]))
    expect_identical(as.vector(t(estimates)),
                     unname(core[grepl("_q", names(core))]), info = name)
    one_thread <- suppressWarnings(posterior_estimates(case$values[order(match(case$group, unique(case$group)))],
                                                       case$limit, case$gm_bounds, case$gsd_bounds, case$weights,
                                                       below = case$below[order(match(case$group, unique(case$group)))],
                                                       threads = 1))
    expect_identical(one_thread, a$estimates, info = name)
  }
})
