#include "ui/host_path_hint.h"

#include "platform/shown_host_path.h"
#include "ui/qt_text.h"

#include <QLineEdit>

namespace rk::ui {

namespace {

void UpdateHint(QLineEdit& box) {
    const std::string shown = platform::ShownHostPath(FromQString(box.text()));
    box.setToolTip(shown.empty() ? QString() : ToQString(shown));
    // Screen readers read it as the field's description.
    box.setAccessibleDescription(shown.empty() ? QString()
                                               : ToQString("On this computer: " + shown));
}

} // namespace

void ShowHostPathHint(QLineEdit& box) {
    UpdateHint(box);
    QObject::connect(&box, &QLineEdit::textChanged, &box, [&box] { UpdateHint(box); });
}

} // namespace rk::ui
