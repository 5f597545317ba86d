#pragma once

#include <string>

// Every file is read from "data/" below the working folder. A program
// started from elsewhere finds it beside its executable instead.

// The folder to run in: workingFolder when it holds data/, else
// executableFolder when that does. Throws a tagged message naming both
// places when neither does.
std::string findDataFolder(const std::string& workingFolder, const std::string& executableFolder);

// The folder of the running executable, or "" when the system does not say.
std::string executableFolder();
