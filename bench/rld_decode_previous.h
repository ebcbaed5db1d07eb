// The picture decoder's previous version, for comparison in the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VelmoraBench {

// Same contract as Velmora::RldDecode.
uint32_t RldDecodePrevious(const uint8_t* Source, size_t SourceLength, uint8_t* Destination,
                           size_t Capacity);

} // namespace VelmoraBench
