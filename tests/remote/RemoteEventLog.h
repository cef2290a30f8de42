#pragma once

#include <juce_core/juce_core.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

/** What a remote-control object reported from its threads, for the tests to
    wait on and inspect. */
class RemoteEventLog
{
public:
    void opened (int id)
    {
        record ([&] { openedIds.push_back (id); });
    }
    void closed (int id)
    {
        record ([&] { closedIds.push_back (id); });
    }
    void received (const juce::MemoryBlock& message)
    {
        record ([&] { messages.push_back (message); });
    }

    /** Waits until the condition holds (checked under the log's lock); false
        when it still does not after a generous bound. */
    bool waitFor (const std::function<bool()>& condition)
    {
        std::unique_lock<std::mutex> lock (mutex);
        return changed.wait_for (lock, std::chrono::seconds (20), condition);
    }

    template <typename Result>
    Result read (const std::function<Result()>& reader)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return reader();
    }

    std::vector<int> getOpened()
    {
        return read<std::vector<int>> ([this] { return openedIds; });
    }
    std::vector<int> getClosed()
    {
        return read<std::vector<int>> ([this] { return closedIds; });
    }
    size_t getNumMessages()
    {
        return read<size_t> ([this] { return messages.size(); });
    }
    std::vector<juce::MemoryBlock> getMessages()
    {
        return read<std::vector<juce::MemoryBlock>> ([this] { return messages; });
    }

    // Read only under the lock, from inside waitFor or read.
    std::vector<int> openedIds, closedIds;
    std::vector<juce::MemoryBlock> messages;

private:
    void record (const std::function<void()>& change)
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            change();
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
};
