#pragma once

#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

class UserDefaults;

// The application's additions to the user defaults.

// The factory value of every setting, in the order the registration builds them.
std::vector<std::pair<QString, QVariant>> qntFactoryDefaults();

// Registers the factory values with the store and switches the framework's size read-out
// while dragging off (it is a per-run choice, not a stored setting). Runs once at start,
// before any window or document reads a setting.
void registerQntDefaults(UserDefaults &defaults);
