// The log values vantor reads for a list of measurements: what cardel writes to logy.txt for them, read back.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace core {

// For each measurement (>= 0; when below[i] != 0 the detection limit X of a result below it) its natural log as
// logy.txt holds it: ln of the value, a zero taken as cardel's substitute 1e-7, rounded to the 15 significant
// digits of the file's field and read back as vantor reads it. Hosts that start from measurements rather than
// files get exactly the doubles the programs compute with. `below` may be empty.
std::vector<double> logs_as_read(std::span<const double> measurements, std::span<const std::uint8_t> below);

}  // namespace core
