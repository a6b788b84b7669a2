#include "rkbak/captured_errors.h"

namespace rk {

CapturedErrors::CapturedErrors(std::ostream& stream)
    : stream_(stream), passedOn_(stream.rdbuf(this)) {}

CapturedErrors::~CapturedErrors() {
    stream_.rdbuf(passedOn_);
}

CapturedErrors::int_type CapturedErrors::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    text_ += traits_type::to_char_type(c);
    return passedOn_->sputc(traits_type::to_char_type(c));
}

std::streamsize CapturedErrors::xsputn(const char* s, std::streamsize n) {
    text_.append(s, static_cast<std::size_t>(n));
    return passedOn_->sputn(s, n);
}

int CapturedErrors::sync() {
    return passedOn_->pubsync();
}

} // namespace rk
