#include "ui/spoken_name.h"

#include <QAccessible>
#include <QWidget>

namespace rk::test {

std::string SpokenName(QWidget* field) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field);
    if (accessible == nullptr)
        return {};
    if (accessible->role() != QAccessible::ComboBox)
        return accessible->text(QAccessible::Name).toStdString();
    for (const auto& [other, relation] : accessible->relations(QAccessible::Label))
        if (other != nullptr)
            return other->text(QAccessible::Name).toStdString();
    return {};
}

} // namespace rk::test
