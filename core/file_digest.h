// A file's SHA-256, taken at its first reading from the bytes a load read (io/scan_file.h):
// only saving a design, opening one, a report or an order sheet reads it, so a load that does
// none of them never hashes. Copies share the digest; it is taken once, whichever thread reads.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace pedaform {

class FileDigest {
  public:
    FileDigest() = default;  // not read from a file: the digest is ""
    // `take` gives the 64 lower-case hex digits; it runs at most once, at the first hex().
    explicit FileDigest(std::function<std::string()> take) : taken_(std::make_shared<Taken>()) {
        taken_->take = std::move(take);
    }

    const std::string &hex() const {
        static const std::string kNone;
        if (!taken_) return kNone;
        std::call_once(taken_->once, [t = taken_.get()] {
            t->hex = t->take();
            t->take = nullptr;  // what it held (the file's bytes) is no longer needed
        });
        return taken_->hex;
    }

  private:
    struct Taken {
        std::once_flag once;
        std::function<std::string()> take;
        std::string hex;
    };
    std::shared_ptr<Taken> taken_;
};

}  // namespace pedaform
