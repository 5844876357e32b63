// SPDX-License-Identifier: AGPL-3.0-or-later
// File > Open's chooser: the folders and PDF files under one root folder,
// and the only paths the page may name are inside it. A path is relative
// to the root, has no ".." part, and once every link in it is followed it
// must still be inside the root.
#pragma once

#include <filesystem>
#include <string>
#include <variant>

namespace vellora::viewer {

class FileChooser {
public:
    // The root as given; it must be a folder (std::invalid_argument otherwise).
    explicit FileChooser(const std::filesystem::path& root);

    const std::filesystem::path& root() const { return root_; }
    // The real path of `relative` inside the root, or why it is refused.
    std::variant<std::filesystem::path, std::string> resolve(const std::string& relative) const;
    // The folder `relative` as JSON: {"dir", "entries": [{"name", "kind": "dir"|"pdf"}]},
    // folders first, then PDF files, each by name; or {"error"}.
    std::string listing(const std::string& relative) const;

private:
    std::filesystem::path root_;  // canonical
};

}  // namespace vellora::viewer
