# Running the programs and the core's own result printer on the data the package is given, for comparison.
# They come from the project's build folder, named by LIMITBAND_BUILD; without it those tests are skipped.

build_folder <- function() {
  build <- Sys.getenv("LIMITBAND_BUILD")
  if (!nzchar(build) || !file.exists(file.path(build, "vantor", "vantor")))
    testthat::skip("LIMITBAND_BUILD does not name a build folder with cardel, vantor and core_results")
  build
}

# A number as the text files hold it so that the programs read back exactly this double.
exact <- function(x) sprintf("%.17g", x)

# y.txt for values in groups (in order of first appearance), a result below a detection limit as <X.
table_text <- function(values, below, group) {
  codes <- match(group, unique(group))
  columns <- split(ifelse(below, paste0("<", exact(values)), exact(values)), codes)
  rows <- max(lengths(columns))
  cells <- vapply(columns, function(col) c(col, rep("-1", rows - length(col))), character(rows))
  cells <- matrix(cells, nrow = rows)
  c(length(columns), rows, apply(cells, 1, paste, collapse = " "))
}

settings_text <- function(limit, gm_bounds, gsd_bounds, weights) {
  c(exact(limit), paste(exact(gm_bounds), collapse = " "), paste(exact(gsd_bounds), collapse = " "),
    paste(exact(weights), collapse = " "))
}

# cardel --seed, then vantor --estimates, in a new folder; the lines of every result file.
run_programs <- function(case) {
  build <- build_folder()
  dir <- tempfile("programs")
  dir.create(dir)
  on.exit(unlink(dir, recursive = TRUE))
  writeLines(table_text(case$values, case$below, case$group), file.path(dir, "y.txt"))
  writeLines(settings_text(case$limit, case$gm_bounds, case$gsd_bounds, case$weights), file.path(dir, "in_bayes.txt"))
  for (program in list(c("cardel", "--seed", format(case$seed, scientific = FALSE)), c("vantor", "--estimates"))) {
    status <- system2(file.path(build, program[1], program[1]), c(program[-1], dir), stdout = FALSE, stderr = FALSE)
    stopifnot(status == 0)
  }
  read <- function(name) sub("\r$", "", readLines(file.path(dir, name)))
  list(seg = read("out_seg.txt"), pvalue = read("out_pvalue.txt"), bayes = read("out_bayes.txt"),
       estimates = read("out_estimates.txt"))
}

# Every number the core computes for the case, as printed by core_results: a named vector of doubles.
core_numbers <- function(case) {
  build <- build_folder()
  input <- tempfile("core")
  on.exit(unlink(input))
  codes <- match(case$group, unique(case$group))
  writeLines(c(paste(settings_text(case$limit, case$gm_bounds, case$gsd_bounds, case$weights), collapse = " "),
               format(case$seed, scientific = FALSE), length(case$values),
               paste(exact(case$values), as.integer(case$below), codes)), input)
  lines <- system2(file.path(build, "tests", "core", "core_results"), input, stdout = TRUE)
  fields <- strsplit(lines, " ", fixed = TRUE)
  stats::setNames(as.numeric(vapply(fields, `[`, "", 2)), vapply(fields, `[`, "", 1))
}
