#include "ui/accessible_names.h"

#include <QLabel>
#include <QWidget>

namespace rk::ui {

void NameAfterLabel(QWidget& field, QLabel& label) {
    label.setBuddy(&field);
    QString name = label.text();
    // "&&" is a literal ampersand; a single '&' marks the mnemonic.
    name.replace("&&", QString(QChar(0x1)));
    name.remove('&');
    name.replace(QChar(0x1), "&");
    name = name.trimmed();
    if (name.endsWith(':'))
        name.chop(1);
    field.setAccessibleName(name.trimmed());
}

void NameControl(QWidget& control, const char* name) {
    control.setAccessibleName(name);
    if (control.toolTip().isEmpty())
        control.setToolTip(name);
}

} // namespace rk::ui
