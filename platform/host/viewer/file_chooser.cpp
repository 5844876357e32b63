// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/file_chooser.h"

#include "viewer/json_writer.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

namespace vellora::viewer {

namespace fs = std::filesystem;

namespace {

bool IsPdfName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".pdf";
}

// `inner` is `outer` or below it; both canonical.
bool Within(const fs::path& outer, const fs::path& inner) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i)
        if (i == inner.end() || *o != *i) return false;
    return true;
}

}  // namespace

FileChooser::FileChooser(const fs::path& root) {
    std::error_code ec;
    root_ = fs::canonical(root, ec);
    if (ec || !fs::is_directory(root_, ec))
        throw std::invalid_argument("the root \"" + root.string() + "\" is not a folder that can be read");
}

std::variant<fs::path, std::string> FileChooser::resolve(const std::string& relative) const {
    if (relative.find('\0') != std::string::npos) return std::string("the path holds a NUL byte");
    fs::path given(relative);
    if (given.is_absolute() || given.has_root_name() || given.has_root_directory())
        return "\"" + relative + "\" is not a path under the root; give it relative to " + root_.string();
    for (const fs::path& part : given)
        if (part == "..") return "\"" + relative + "\" leads out of the root (..)";
    std::error_code ec;
    fs::path real = fs::canonical(root_ / given, ec);
    if (ec) return "\"" + relative + "\" cannot be found under the root: " + ec.message();
    if (!Within(root_, real)) return "\"" + relative + "\" is a link leading out of the root";
    return real;
}

std::string FileChooser::listing(const std::string& relative) const {
    JsonWriter j;
    auto folder = resolve(relative.empty() ? "." : relative);
    if (auto* why = std::get_if<std::string>(&folder)) {
        j.beginObject().key("error").value(*why).endObject();
        return j.text();
    }
    const fs::path& dir = std::get<fs::path>(folder);
    std::vector<std::string> dirs, pdfs;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code kindError;
        if (it->is_directory(kindError))
            dirs.push_back(name);
        else if (IsPdfName(name) && it->is_regular_file(kindError))
            pdfs.push_back(name);
    }
    if (ec) {
        j.beginObject().key("error").value("\"" + relative + "\" cannot be listed: " + ec.message()).endObject();
        return j.text();
    }
    std::sort(dirs.begin(), dirs.end());
    std::sort(pdfs.begin(), pdfs.end());
    std::string shown = fs::relative(dir, root_, ec).generic_string();
    j.beginObject().key("root").value(root_.filename().string()).key("dir").value(shown == "." ? "" : shown);
    j.key("entries").beginArray();
    for (const std::string& d : dirs) j.beginObject().key("name").value(d).key("kind").value("dir").endObject();
    for (const std::string& p : pdfs) j.beginObject().key("name").value(p).key("kind").value("pdf").endObject();
    j.endArray().endObject();
    return j.text();
}

}  // namespace vellora::viewer
