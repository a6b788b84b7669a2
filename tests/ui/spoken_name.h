#pragma once
// What a screen reader says a field is called, asked through Qt's
// accessibility interface as assistive technology asks it.

#include <string>

class QWidget;

namespace rk::test {

// The field's accessible name; for a combo box, whose name on this platform
// is its current text, the name of the label it is labelled by. Empty when
// the field has neither.
std::string SpokenName(QWidget* field);

} // namespace rk::test
