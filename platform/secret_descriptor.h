#pragma once
// Secret bytes handed to a started process through an inherited descriptor:
// a file that lives only in memory (memfd), sealed against change, read from
// its start. Nothing is written to disk and nothing reaches argv.

#include "platform/result.h"

#include <string_view>

namespace rk::platform {

class SecretDescriptor {
  public:
    // A new descriptor holding `bytes`, or why none could be made.
    static Result<SecretDescriptor> Holding(std::string_view bytes);

    SecretDescriptor(SecretDescriptor&& other) noexcept;
    SecretDescriptor& operator=(SecretDescriptor&& other) noexcept;
    SecretDescriptor(const SecretDescriptor&) = delete;
    SecretDescriptor& operator=(const SecretDescriptor&) = delete;
    ~SecretDescriptor();

    // The descriptor (closed on exec, above the standard ones and the
    // progress channel, so a started process gets it only as asked).
    int descriptor() const { return descriptor_; }

  private:
    explicit SecretDescriptor(int descriptor) : descriptor_(descriptor) {}
    int descriptor_ = -1;
};

} // namespace rk::platform
