#pragma once
// The three lives Main chooses from, as the program builds them.

#include "app/main.h"
#include "jobs/frm_main.h"

#include <memory>

namespace rk {

// `mainWindow` receives the main window of the interactive life and must
// outlive the program's event loop. Without a person present the main window
// makes no first-start offer.
app::Lives MakeLives(std::unique_ptr<jobs::frmMain>& mainWindow, bool personPresent);

} // namespace rk
