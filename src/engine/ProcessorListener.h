#pragma once

/** Told by the loading thread when a load starts and when it ends. Called on
    that thread: implementations must not touch the user interface. */
class ProcessorListener
{
public:
    virtual ~ProcessorListener() = default;
    virtual void processorCallback() = 0;
};
