// Shared by the application tests: the program's start-up (done once in main), its folders and
// waiting for the browser.
#pragma once

#include <functional>
#include <string>

namespace apptest {

// The build number the tests' resource.ini carries.
constexpr const char* buildCount = "42";

// The program directory of the started application (a temporary folder with NUK-Resourcen).
const std::string& programDir();
// A resource folder for the tests' own pages (searched after the experiment's pages).
const std::string& pagesDir();

// Dispatches events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int ms = 10000);

}  // namespace apptest
