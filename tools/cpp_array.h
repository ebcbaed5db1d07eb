// Writes bytes as the initialiser of a C++ array, sixteen to a line, for the
// build-time tools that generate source files.
#pragma once

#include <cstddef>
#include <ostream>

namespace Velmora {

template <typename ByteContainer>
void WriteCppByteArray(std::ostream& Out, const ByteContainer& Bytes) {
    static const char Hex[] = "0123456789ABCDEF";
    Out << "{";
    for (size_t Index = 0; Index < Bytes.size(); ++Index) {
        const unsigned Byte = static_cast<unsigned char>(Bytes[Index]);
        Out << (Index % 16 == 0 ? "\n    " : " ") << "0x" << Hex[Byte >> 4] << Hex[Byte & 15]
            << ',';
    }
    Out << "\n}";
}

} // namespace Velmora
