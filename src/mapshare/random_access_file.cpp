#include "random_access_file.h"

namespace mapshare {

bool RandomAccessFile::open(const std::string& path) {
    close();
    if (!file_.OpenRead(path)) return false;
    if (!file_.QuerySize(size_)) {
        close();
        return false;
    }
    return true;
}

void RandomAccessFile::close() {
    file_.Close();
    size_ = 0;
}

}  // namespace mapshare
