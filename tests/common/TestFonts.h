#pragma once

#include <QString>

namespace qnt::test {

// Points fontconfig at a configuration that sees only the font files the install script
// installs (DejaVu, Liberation, URW base 35) with Debian's default rendering settings, so text in
// pictures is drawn the same whatever else the machine has installed. Call before the
// application object exists (the font database reads the configuration once).
void pinInstalledFonts();

// Empty when every family the notations, styles and picture tests name resolves to its pinned
// font; otherwise says which families fell back to what and which package to install.
QString missingFonts();

} // namespace qnt::test
