#pragma once
// Text boxes that hold Windows path text tell the Linux path it stands for:
// "C:\Backups" shows "~/Backups" as its tooltip, kept up to date as the text
// changes.

class QLineEdit;

namespace rk::ui {

void ShowHostPathHint(QLineEdit& box);

} // namespace rk::ui
