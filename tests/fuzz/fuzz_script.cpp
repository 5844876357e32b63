// SPDX-License-Identifier: AGPL-3.0-or-later
// Host scripts on untrusted text: the tokenizer and the interpreter, with
// the real module loaded, on in-memory documents. Lines that would touch
// files (open, save, snapshot, doc file) or load another module are left
// out, and `new` is held to a few pages so that each run stays short.
//
// The interpreter unloads the module after each script, but libFuzzer
// keeps reading the coverage counters of every library it has seen, so the
// module stays mapped for the process (RTLD_NODELETE); its writable data,
// all plain module-wide state, is put back as it was when first loaded
// before each run, so every run starts from a freshly loaded module.
#include "script/script_runner.h"
#include "script/tokenizer.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#ifndef VX_MODULE_PATH
#error "VX_MODULE_PATH names the module the scripts load"
#endif

namespace {

bool Kept(const std::vector<std::string> &words)
{
    if (words.empty()) return true;
    const std::string &first = words[0];
    if (first == "open" || first == "save" || first == "snapshot") return false;
    if (first == "doc" && words.size() > 1 && words[1] == "file") return false;
    if (first == "new" && words.size() > 2) {
        char *end = nullptr;
        const long long pages = std::strtoll(words[2].c_str(), &end, 0);
        if (pages > 64) return false;
    }
    return true;
}

// The module's writable data (outside its read-only-after-relocation part)
// as it was right after loading.
class ModuleData {
public:
    explicit ModuleData(const char *path)
    {
        if (!dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
            std::fprintf(stderr, "fuzz_script: %s\n", dlerror());
            std::abort();
        }
        name_ = path;
        dl_iterate_phdr(&ModuleData::Visit, this);
        if (ranges_.empty()) {
            std::fprintf(stderr, "fuzz_script: no writable segment found in %s\n", path);
            std::abort();
        }
        for (Range &r : ranges_) {
            r.saved.resize(r.size);
            Copy(r.saved.data(), r.start, r.size);
        }
    }
    // Byte by byte and uninstrumented: the data holds the sanitizer's
    // redzones between globals, which no instrumented copy may touch.
    void restore() const
    {
        for (const Range &r : ranges_)
            Copy(r.start, r.saved.data(), r.size);
    }

private:
    __attribute__((no_sanitize("address"))) static void Copy(uint8_t *to, const uint8_t *from,
                                                             size_t size)
    {
        volatile uint8_t *out = to;
        const volatile uint8_t *in = from;
        for (size_t i = 0; i < size; ++i)
            out[i] = in[i];
    }

    struct Range {
        uint8_t *start;
        size_t size;
        std::vector<uint8_t> saved;
    };

    __attribute__((no_sanitize("address"))) static int Visit(dl_phdr_info *info, size_t, void *self)
    {
        auto *me = static_cast<ModuleData *>(self);
        if (info->dlpi_name == nullptr || std::strcmp(info->dlpi_name, me->name_) != 0) return 0;
        uintptr_t relroEnd = 0;
        for (int i = 0; i < info->dlpi_phnum; ++i)
            if (info->dlpi_phdr[i].p_type == PT_GNU_RELRO)
                relroEnd =
                    info->dlpi_addr + info->dlpi_phdr[i].p_vaddr + info->dlpi_phdr[i].p_memsz;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr) &h = info->dlpi_phdr[i];
            if (h.p_type != PT_LOAD || !(h.p_flags & PF_W)) continue;
            uintptr_t start = info->dlpi_addr + h.p_vaddr;
            const uintptr_t end = start + h.p_memsz;
            if (relroEnd > start && relroEnd < end) start = relroEnd;
            if (relroEnd >= end) continue;
            me->ranges_.push_back(Range{reinterpret_cast<uint8_t *>(start), end - start, {}});
        }
        return 1;
    }

    const char *name_ = nullptr;
    std::vector<Range> ranges_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const ModuleData module(VX_MODULE_PATH);
    module.restore();
    std::string text(reinterpret_cast<const char *>(data), size);
    // The interpreter skips a byte-order mark; the filter must see the same first line.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::istringstream lines(text);
    std::string script, line;
    while (std::getline(lines, line)) {
        std::vector<std::string> words;
        try {
            words = vellora::Tokenize(line);
        } catch (const vellora::ScriptError &) {
            // The interpreter reports the same error for the line.
        }
        if (!words.empty() && words[0] == "load") line = "load";  // the real module only
        if (Kept(words)) script += line + "\n";
    }
    std::ostringstream out, err;
    vellora::ScriptRunOptions options;
    options.modulePath = VX_MODULE_PATH;
    options.out = &out;
    options.err = &err;
    vellora::RunHostScript(script, "fuzz.vscript", options);
    return 0;
}
