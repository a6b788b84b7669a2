#include "jobs/about_text.h"

#include "core/text.h"

namespace rk::jobs {

std::string_view VersionText() {
    return RK_VERSION_TEXT;
}

std::string_view LegalNotice() {
    return "Copyright (C) the Ravelkeep authors. Ravelkeep comes with absolutely no warranty; "
           "keep a second copy of anything you cannot afford to lose.";
}

std::string AboutText() {
    return std::string(ProgramTitle) + "\r\nVersion: " + std::string(VersionText()) + "\r\n" +
           std::string(LegalNotice());
}

} // namespace rk::jobs
