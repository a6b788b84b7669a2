#pragma once
// One QApplication for a whole test program, made on first use, on the
// offscreen platform unless the environment names another.

namespace rk::test {

void EnsureQtApplication();

} // namespace rk::test
