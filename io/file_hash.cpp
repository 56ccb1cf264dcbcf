#include "io/file_hash.h"

#include <openssl/evp.h>

#include <cassert>

namespace pedaform {

std::string sha256_hex(const uint8_t *data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // EVP_Digest fails only when the library cannot allocate its context.
    const bool hashed = EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1;
    assert(hashed);
    (void)hashed;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace pedaform
