#pragma once

// What the input system may do to the running program: end it (Esc) or
// pause it (p). The window implements it; input needs nothing else of it.
class ProgramControl {
public:
    virtual void stop() = 0;
    virtual void togglePause() = 0;

protected:
    ~ProgramControl() = default;
};
