#pragma once

#include <QString>

// Where the application finds its own resources and keeps the user's data.
namespace QntPaths {

// The application's read-only resources: <dir of the executable>/../share/quintora.
// QNT_BUNDLE_DIR overrides it (tests, running from an unusual place).
QString bundleResourcesPath();

// The user's Application Support folder: ~/.local/share/Quintora (XDG_DATA_HOME).
QString applicationSupportFolder();

// The user's Caches folder: ~/.cache/Quintora (XDG_CACHE_HOME).
QString cachesFolder();

// The user's configuration folder: ~/.config/Quintora (XDG_CONFIG_HOME).
QString configFolder();

// A name safe to use as a file name in one of our folders: only ASCII letters and digits, spaces,
// '_', '-' and '.', at most 100 characters, no surrounding spaces, and never hidden (no leading
// dot, even after leading spaces). Empty when nothing usable is left.
QString safeFileName(const QString &name);

} // namespace QntPaths
