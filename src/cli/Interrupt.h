#pragma once

namespace owb::cli {

// Ctrl+C while a guard lives asks the running transfer to stop after its current file; a
// second Ctrl+C ends the process at once. Outside a guard Ctrl+C ends the process as usual.
class Interrupt {
public:
    Interrupt();
    ~Interrupt();
    Interrupt(const Interrupt &) = delete;
    Interrupt &operator=(const Interrupt &) = delete;

    static bool requested();
};

} // namespace owb::cli
