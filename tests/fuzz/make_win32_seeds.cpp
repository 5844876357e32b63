// SPDX-License-Identifier: AGPL-3.0-or-later
// Writes the seed inputs of fuzz_win32 from the module's own compiled
// resources: each reader gets the real bytes it reads in a run, behind
// the selector byte that picks it.
//
//   make_win32_seeds MODULE.res OUT_DIR
#include "res_file.h"
#include "resource_builders.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using win32test::Bytes;

void Write(const std::string &dir, const std::string &name, uint8_t selector, const Bytes &bytes)
{
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.put(char(selector));
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error(dir + "/" + name + ": cannot write");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_win32_seeds MODULE.res OUT_DIR\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        const Bytes res((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string dir = argv[2];
        Write(dir, "res", 1, res);
        Write(dir, "elf64", 4,
              win32test::BuildElf(true, {{".text", Bytes(16, 0x90)}, {".rsrc", res}}));
        Write(dir, "elf32", 4, win32test::BuildElf(false, {{".rsrc", res}}));
        int n = 0;
        for (const auto &r : vxwin32::detail::ParseResFile(res)) {
            const std::string stem = std::to_string(++n);
            if (r.type.isOrdinal && r.type.ordinal == 5) {
                Write(dir, "dialog-" + stem, 0, r.data);
                // Clicks on the second and third controls, Enter, then the close box.
                const uint8_t actions[] = {4, 0, 1, 0, 2, 2, 0, 3, 0};
                Bytes run(sizeof actions + r.data.size());
                std::copy(std::begin(actions), std::end(actions), run.begin());
                std::copy(r.data.begin(), r.data.end(), run.begin() + sizeof actions);
                Write(dir, "dialog-run-" + stem, 5, run);
            } else if (r.type.isOrdinal && r.type.ordinal == 1) {
                Write(dir, "cursor-" + stem, 2, r.data);
            } else if (r.type.isOrdinal && r.type.ordinal == 2) {
                Write(dir, "bitmap-" + stem, 3, r.data);
            }
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "make_win32_seeds: %s\n", e.what());
        return 1;
    }
}
