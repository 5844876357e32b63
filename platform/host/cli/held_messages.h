// SPDX-License-Identifier: AGPL-3.0-or-later
// The messages of a generated script's run, as the user sees them: alerts,
// warnings and progress pass straight through; the failure line that names
// a line of the generated script is held back, so that the command line can
// say what went wrong in its own terms.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace vellora::cli {

class HeldMessages : private std::streambuf, public std::ostream {
public:
    // Lines that begin with `prefix` are held; the rest go to `target`.
    HeldMessages(std::ostream& target, std::string prefix);
    ~HeldMessages() override;

    // Passes on what is left of an unfinished line.
    void finish();
    const std::vector<std::string>& held() const { return held_; }

private:
    int overflow(int c) override;
    int sync() override;
    void endLine();
    // True while the unfinished line may still turn out to be held.
    bool mayBeHeld() const;

    std::ostream& target_;
    std::string prefix_;
    std::string line_;
    std::vector<std::string> held_;
};

}  // namespace vellora::cli
