// The kernels behind the grid sums and the choice of thread count, for the tests that pin them.
#pragma once

#include <cstddef>

namespace vantor {

// How many threads pay for the grid sums of `value_count` values: 1 for small
// inputs, otherwise the number of processors.
int grid_workers(std::size_t value_count);

// Adds (y(i) - mu(j))^2 to s(j) for j < count, i in index order. The vector
// form, which the grid sums use, gives the same bits as the plain form; where
// the compiler or target has no vector support it is the plain form.
void add_squares_plain(const double* y, std::size_t n, const double* mu, double* s, std::size_t count);
void add_squares_vector(const double* y, std::size_t n, const double* mu, double* s, std::size_t count);

}  // namespace vantor
