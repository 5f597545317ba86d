#pragma once

class Excavator;

// Turns one joystick axis reading (v in [-1, 1), 0 inside the dead zone)
// into a command on the machine.
class AxisController {
public:
    // Virtual: the controller deletes its assignments through this type.
    virtual ~AxisController() = default;
    virtual void apply(Excavator* excavator, float v) = 0;
};
