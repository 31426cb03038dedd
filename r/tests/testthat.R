library(testthat)
library(limitband)

test_check("limitband")
