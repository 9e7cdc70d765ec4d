// Sets (or removes, for a null value) an environment variable for the life of the object.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace ts::test {

class CEnvVar {
public:
    CEnvVar(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~CEnvVar() {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    CEnvVar(const CEnvVar&) = delete;
    CEnvVar& operator=(const CEnvVar&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace ts::test
