#include "support/temp_dir.h"

#include "platform/file_system.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qrd_test {

TempDir::TempDir() : path_(nsplatform::CreateTemporaryFolder("qrdtest-")) {
    if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

std::string TempDir::Write(const std::string& name, const std::string& contents) const {
    const std::string p = File(name);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) throw std::runtime_error("cannot write " + p);
    return p;
}

}  // namespace qrd_test
