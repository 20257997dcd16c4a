// A temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace qrd_test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string File(const std::string& name) const;
    // Writes bytes (or text) to path() + "/" + name and returns that path.
    std::string Write(const std::string& name, const std::string& contents) const;

private:
    std::string path_;
};

}  // namespace qrd_test
