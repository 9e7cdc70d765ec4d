// A temporary directory for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace ts::test {

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Full path of a name inside the directory.
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

    // Creates a file with the given bytes (and its missing parent directories).
    std::string Write(const std::string& rel, const std::string& content) const;
    std::string Mkdir(const std::string& rel) const;

private:
    std::string m_path;
};

// Reads a file whole; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names in a directory, sorted.
std::string ListNames(const std::string& dir);
// Every file below dir as "relative path\n" lines, sorted, with their content when withContent.
std::string TreeListing(const std::string& dir, bool withContent);

// Replaces the date in a report's "Directory checked on " line with a fixed mask.
std::string MaskDate(const std::string& report);
// "\r\n" -> "\n", to compare reports with expectations written in the test source.
std::string Lf(const std::string& text);

}  // namespace ts::test
