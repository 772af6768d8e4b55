#pragma once

namespace tavrel {

// Shows the busy (hourglass) pointer while it lives. Nested guards do not stack: the
// normal pointer comes back when the outermost one ends, on every way out.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    static bool active();

private:
    static int s_depth;
};

}  // namespace tavrel
