#include "sample_decoder.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#define MAPSHARE_X86_VECTORS 1
#include <immintrin.h>
#endif

namespace mapshare {

void decodeSamplesPortable(const uint8_t* bytes, size_t count, double* out) {
    for (size_t i = 0; i < count; ++i) {
        const auto raw = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        out[i] = static_cast<int16_t>(raw);
    }
}

namespace {

struct Choice {
    void (*decode)(const uint8_t*, size_t, double*);
    const char* name;
};

#ifdef MAPSHARE_X86_VECTORS
// x86 stores little-endian, so a vector load reads the samples as they are.
// Eight samples per step: widened to 32 bits by interleaving each word with
// itself and shifting the sign back down, then converted two at a time.
void decodeSse2(const uint8_t* bytes, size_t count, double* out) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16);
        _mm_storeu_pd(out + i, _mm_cvtepi32_pd(low));
        _mm_storeu_pd(out + i + 2, _mm_cvtepi32_pd(_mm_srli_si128(low, 8)));
        _mm_storeu_pd(out + i + 4, _mm_cvtepi32_pd(high));
        _mm_storeu_pd(out + i + 6, _mm_cvtepi32_pd(_mm_srli_si128(high, 8)));
    }
    decodeSamplesPortable(bytes + 2 * i, count - i, out + i);
}

// Sixteen samples per step, then eight; blocks are a few hundred samples,
// so the rest after them matters too.
__attribute__((target("avx2"))) void decodeAvx2(const uint8_t* bytes, size_t count, double* out) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 2 * i));
        const __m256i low = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(words));
        const __m256i high = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(words, 1));
        _mm256_storeu_pd(out + i, _mm256_cvtepi32_pd(_mm256_castsi256_si128(low)));
        _mm256_storeu_pd(out + i + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(low, 1)));
        _mm256_storeu_pd(out + i + 8, _mm256_cvtepi32_pd(_mm256_castsi256_si128(high)));
        _mm256_storeu_pd(out + i + 12, _mm256_cvtepi32_pd(_mm256_extracti128_si256(high, 1)));
    }
    if (i + 8 <= count) {
        const __m256i eight = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i)));
        _mm256_storeu_pd(out + i, _mm256_cvtepi32_pd(_mm256_castsi256_si128(eight)));
        _mm256_storeu_pd(out + i + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(eight, 1)));
        i += 8;
    }
    decodeSamplesPortable(bytes + 2 * i, count - i, out + i);
}

Choice choose() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return {decodeAvx2, "avx2"};
    return {decodeSse2, "sse2"};
}
#else
Choice choose() { return {decodeSamplesPortable, "portable"}; }
#endif

const Choice& chosen() {
    static const Choice choice = choose();
    return choice;
}

}  // namespace

void decodeSamples(const uint8_t* bytes, size_t count, double* out) { chosen().decode(bytes, count, out); }

const char* sampleDecoderName() { return chosen().name; }

}  // namespace mapshare
