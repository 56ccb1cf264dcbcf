#include "io/file_hash.h"

#include <openssl/evp.h>

#include <cassert>
#include <vector>

#include "io/picture_io.h"

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

Result<std::string> file_sha256(const std::string &path) {
    const Result<std::vector<uint8_t>> bytes = read_file_bytes(path);
    if (!bytes) return Failure{bytes.message()};
    return sha256_hex(bytes->data(), bytes->size());
}

}  // namespace pedaform
