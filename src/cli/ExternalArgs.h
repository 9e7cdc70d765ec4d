// The command line's options of the external-URL check.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace ts {

struct RunSettings;

struct ExternalArgs {
    bool check = false, noCache = false, rewriteMoved = false;
    std::vector<std::string> headers, accept, excluded;
    std::string userAgent;
    int timeout = 0, maxConnections = 0, maxPerHost = 0;
};

void AddExternalOptions(CLI::App& app, ExternalArgs& a);

// Takes the options into the settings; "" when they are right, else the first that is not.
std::string ApplyExternal(const ExternalArgs& a, RunSettings& s);

}  // namespace ts
