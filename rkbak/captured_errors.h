#pragma once
// Keeps a copy of everything written to a stream while it is in scope, and
// still passes it on: the lines a windowless run writes to standard error
// also become the text of its failure notification.

#include <ostream>
#include <streambuf>
#include <string>

namespace rk {

class CapturedErrors final : public std::streambuf {
  public:
    explicit CapturedErrors(std::ostream& stream);
    ~CapturedErrors() override;
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;

    const std::string& Text() const { return text_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    std::ostream& stream_;
    std::streambuf* passedOn_;
    std::string text_;
};

} // namespace rk
