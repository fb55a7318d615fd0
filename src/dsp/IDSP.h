#pragma once

namespace DSP
{
/** Common base of the per-sample blocks. `reset()` returns a block to its
    starting state where that means something (the filters); the dynamics
    blocks keep their state and are retuned by `setup` instead. */
class IDSP
{
public:
    virtual ~IDSP() = default;
    virtual void reset() = 0;
};
} // namespace DSP
