// Writing texts into the fixed-size char fields of Neuroshare records.
//
// Hosts often reuse records or check that the library touched only what it
// fills, so a text field gets exactly its characters and one NUL: the rest of
// the field keeps what the host put there.  A text longer than the field is
// cut to width - 1 characters so the NUL always fits.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace qrd {

template <size_t N>
void WriteTextField(char (&field)[N], const char* text, size_t length) {
    static_assert(N > 0, "a text field holds at least its NUL");
    const size_t n = length < N - 1 ? length : N - 1;
    if (n) std::memcpy(field, text, n);
    field[n] = '\0';
}

template <size_t N>
void WriteTextField(char (&field)[N], const std::string& text) {
    // Embedded NULs end the visible text, as they would for a C host.
    WriteTextField(field, text.c_str(), std::strlen(text.c_str()));
}

template <size_t N>
void WriteTextField(char (&field)[N], const char* text) {
    if (text == nullptr) text = "";
    WriteTextField(field, text, std::strlen(text));
}

}  // namespace qrd
