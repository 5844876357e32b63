// SPDX-License-Identifier: AGPL-3.0-or-later
// resgen: turns a text-art source into a cursor or bitmap file.
//   resgen INPUT.txt OUTPUT
// The source's `kind` line says which. The output is written beside its
// final name and renamed into place, so a failed run leaves nothing behind.
#include "art_source.h"
#include "image_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw resgen::ArtError(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::remove(temporary.c_str());
            throw resgen::ArtError(path + ": cannot be written");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        throw resgen::ArtError(path + ": cannot be written (" + error.message() + ")");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: resgen INPUT.txt OUTPUT.cur|OUTPUT.bmp\n";
        return 2;
    }
    try {
        const std::string input = argv[1];
        const resgen::Art art = resgen::ReadArt(ReadFile(input), input);
        WriteFile(argv[2], art.kind == resgen::ArtKind::Cursor ? resgen::EncodeCursor(art, input)
                                                               : resgen::EncodeBitmap(art, input));
    } catch (const resgen::ArtError& error) {
        std::cerr << "resgen: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
