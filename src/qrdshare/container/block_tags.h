// The 8-byte block tags of a QRD recording and how they are compared.
//
// Tags are ASCII, blank-padded to 8 characters.  The tags of the signature,
// the header list, the file header, the header-list trailer and the index
// block are compared byte for byte; stream-block tags and data-chunk tags are
// compared without regard to case, because recorders wrote them both ways.
#pragma once

#include <cstddef>

namespace qrd {

constexpr size_t kTagSize = 8;

constexpr char kTagSignature[] = "QRVSTRM ";
constexpr char kTagHeaderList[] = "LISThdr ";
constexpr char kTagFileHeader[] = "QRVHDR  ";
constexpr char kTagStreamHeader[] = "STRMHDR ";
constexpr char kTagStreamFormat[] = "STRMFMT ";
constexpr char kTagStreamList[] = "LISTstrm";   // trailer of header version 0
constexpr char kTagIndexPointer[] = "IDX1POS "; // trailer of header versions 3 and above
constexpr char kTagIndexHeader[] = "IDX1QRV ";
constexpr char kTagIndexPositions[] = "IDXIDX  ";
constexpr char kTagIndexSweeps[] = "IDXSWEEP";

// Byte-for-byte comparison over all 8 bytes.
inline bool TagEquals(const char* a, const char* b) {
    for (size_t i = 0; i < kTagSize; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// ASCII case-insensitive comparison over all 8 bytes.
inline bool TagEqualsIgnoreCase(const char* a, const char* b) {
    for (size_t i = 0; i < kTagSize; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace qrd
