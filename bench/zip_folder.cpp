// Zips a folder as the server sends it, to a file or standard output, and
// reports on standard error what it took: bytes, pieces, the largest piece,
// whether it failed, and the process's peak resident memory (VmHWM).
// bench/zip_memory.py drives it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "responses/folder_zip.h"

namespace {

unsigned long PeakMemoryKiB() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stoul(line.substr(6));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zip_folder FOLDER OUT (- for standard output)\n";
        return 2;
    }
    using namespace quorvane::responses;
    const std::filesystem::path folder(argv[1]);
    const std::string out(argv[2]);
    std::FILE* sink = out == "-" ? stdout : std::fopen(out.c_str(), "wb");
    if (sink == nullptr) {
        std::cerr << "cannot write " << out << "\n";
        return 2;
    }
    const auto admitAll = [](const std::vector<std::string>&, const struct stat&, bool) {
        return true;
    };
    FolderZip zip(FolderWalk(folder, {}, admitAll), {.topName = folder.filename().string()});
    uint64_t bytes = 0;
    uint64_t pieces = 0;
    size_t largest = 0;
    for (std::string_view piece = zip.Next(); !piece.empty(); piece = zip.Next()) {
        if (std::fwrite(piece.data(), 1, piece.size(), sink) != piece.size()) {
            std::cerr << "write failed\n";
            return 1;
        }
        bytes += piece.size();
        ++pieces;
        largest = std::max(largest, piece.size());
    }
    if (sink != stdout) {
        std::fclose(sink);
    }
    std::cerr << "bytes " << bytes << " pieces " << pieces << " largest " << largest << " failed "
              << zip.Failed() << " peak_rss_kib " << PeakMemoryKiB() << "\n";
    return zip.Failed() ? 1 : 0;
}
