#pragma once
// Names for assistive technology: every input of a form carries the name a
// screen reader speaks, taken from its label where it has one.

class QLabel;
class QWidget;

namespace rk::ui {

// Makes `label` the buddy of `field` and gives the field the label's text as
// its accessible name, without the mnemonic '&' and a closing colon. The
// label's text stays as it is.
void NameAfterLabel(QWidget& field, QLabel& label);

// Names a control that has no label of its own (a "..." button, a list): the
// accessible name and, for a control without one, the tooltip.
void NameControl(QWidget& control, const char* name);

} // namespace rk::ui
