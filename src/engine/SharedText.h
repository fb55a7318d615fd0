#pragma once

#include <mutex>
#include <string>

/** A text written by a worker thread and read by the user interface. The UI
    only ever needs the latest complete text, so a short mutex is enough; this
    is never touched by the audio thread. */
class SharedText
{
public:
    SharedText& operator= (std::string text)
    {
        const std::lock_guard<std::mutex> guard (mutex);
        value = std::move (text);
        return *this;
    }

    std::string get() const
    {
        const std::lock_guard<std::mutex> guard (mutex);
        return value;
    }

    /** Returns the text and leaves it empty, so a message is shown once. */
    std::string take()
    {
        const std::lock_guard<std::mutex> guard (mutex);
        std::string out;
        out.swap (value);
        return out;
    }

    bool isEmpty() const
    {
        const std::lock_guard<std::mutex> guard (mutex);
        return value.empty();
    }

private:
    mutable std::mutex mutex;
    std::string value;
};
