// How a long run reports its progress: a range, a value, and a chance to let the user's
// events through (so a Cancel button works during the run). Workers see only this; a
// progress window implements it, and the direct forms pass nothing.
#pragma once

namespace zeltpc5 {

class Progress
{
public:
    virtual ~Progress() = default;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setValue(int value) = 0;
    virtual int value() const = 0;
    // Lets pending window events run; called between lines.
    virtual void processEvents() {}

    void advance() { setValue(value() + 1); }
};

} // namespace zeltpc5
