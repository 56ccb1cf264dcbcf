#include "model3d/fixed_format.h"

#include <cstdio>

namespace pedaform {

int format_fixed6(float value, char *out) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 31) != 0;
    const int exponent_bits = static_cast<int>((bits >> 23) & 0xFF);
    uint64_t mantissa = bits & 0x7FFFFF;
    if (exponent_bits == 0xFF || exponent_bits >= 127 + 40)
        return std::snprintf(out, 48, "%f", static_cast<double>(value));

    // value = mantissa * 2^exponent exactly.
    int exponent;
    if (exponent_bits == 0) {
        exponent = -149;
    } else {
        mantissa |= 0x800000;
        exponent = exponent_bits - 150;
    }

    // micros = value * 10^6 rounded to nearest, ties to even. mantissa * 10^6 < 2^44.
    uint64_t scaled = mantissa * 1000000u;
    uint64_t micros;
    if (exponent >= 0) {
        micros = scaled << exponent;  // exponent < 17 here, so no overflow
    } else {
        const int shift = -exponent;
        if (shift >= 64) {
            micros = 0;  // far below half a millionth
        } else {
            micros = scaled >> shift;
            const uint64_t rest = scaled & ((uint64_t{1} << shift) - 1);
            const uint64_t half = uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (micros & 1))) ++micros;
        }
    }

    char digits[32];
    int n = 0;
    uint64_t whole = micros / 1000000u;
    uint32_t fraction = static_cast<uint32_t>(micros % 1000000u);
    do {
        digits[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);

    int len = 0;
    if (negative) out[len++] = '-';
    while (n > 0)
        out[len++] = digits[--n];
    out[len++] = '.';
    for (int d = 5; d >= 0; --d) {
        out[len + d] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return len + 6;
}

}  // namespace pedaform
