// A 1-based view of contiguous storage, for the algorithms whose indices run from 1.
//
// v(1) is the first element and v(size) the last; every index is checked in
// checked builds (asserts on), so an off-by-one fails at once instead of
// reading a neighbour. The view owns nothing and never points outside its storage.
#pragma once

#include <cassert>
#include <cstdint>
#include <iterator>
#include <type_traits>

namespace textio {

template <typename T>
struct OneBased {
  T* first = nullptr;     // element 1
  std::int64_t size = 0;  // valid indices are 1..size

  T& operator()(std::int64_t i) const {
    assert(i >= 1 && i <= size);
    return first[i - 1];
  }
};

// The 1-based view of an array, std::array, std::vector or any contiguous container.
template <typename Storage>
auto one_based(Storage& storage) {
  using Element = std::remove_reference_t<decltype(*std::data(storage))>;
  return OneBased<Element>{std::data(storage), static_cast<std::int64_t>(std::size(storage))};
}

}  // namespace textio
